// What the command line learns about its files itself: a look at each input before the
// core takes it, whole-file reads and writes, and whether two names are one file.
#include "command_line.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

bool NameFits(const char* name, ConversionReport* report)
{
    memset(report, 0, sizeof *report);
    if (strlen(name) >= FILE_NAME_CAPACITY) {
        report->Problem = PROBLEM_NAME_UNUSABLE;
        return false;
    }
    return true;
}

bool PreflightInput(const char* name, ConversionReport* report)
{
    if (!NameFits(name, report)) {
        return false;
    }
    struct stat status;
    FILE* handle = NULL;
    if (stat(name, &status) == 0 && !S_ISREG(status.st_mode)) {
        report->Problem = PROBLEM_NOT_REGULAR_FILE;
        report->SystemError = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    } else if ((handle = fopen(name, "rb")) == NULL) {
        report->Problem = PROBLEM_CANNOT_OPEN;
        report->SystemError = errno;
    } else {
        fclose(handle);
    }
    return report->Problem == PROBLEM_NONE;
}

bool ReadWholeFile(const char* name, std::string* bytes)
{
    FILE* handle = fopen(name, "rb");
    if (handle == NULL) {
        return false;
    }
    bytes->clear();
    char block[64 << 10];
    size_t count;
    while ((count = fread(block, 1, sizeof block, handle)) > 0) {
        bytes->append(block, count);
    }
    bool read = ferror(handle) == 0;
    fclose(handle);
    return read;
}

bool ReadInput(const char* name, std::string* bytes)
{
    ConversionReport report;
    if (PreflightInput(name, &report) && !ReadWholeFile(name, bytes)) {
        report.Problem = PROBLEM_READ_FAILED;
    }
    if (report.Problem != PROBLEM_NONE) {
        PrintProblem(name, DescribeProblem(report, name));
        return false;
    }
    return true;
}

bool WriteWholeFile(const char* name, const std::string& bytes)
{
    FILE* handle = fopen(name, "wb");
    if (handle == NULL) {
        return false;
    }
    bool written = fwrite(bytes.data(), 1, bytes.size(), handle) == bytes.size();
    return fclose(handle) == 0 && written;
}

bool FileStands(const char* name)
{
    struct stat status;
    return stat(name, &status) == 0 && S_ISREG(status.st_mode);
}

bool SameFile(const char* first, const char* second)
{
#ifdef _WIN32
    // No inode numbers here: full paths, compared as the file system does, without case.
    char firstPath[_MAX_PATH];
    char secondPath[_MAX_PATH];
    return _fullpath(firstPath, first, sizeof firstPath) != NULL &&
           _fullpath(secondPath, second, sizeof secondPath) != NULL &&
           _stricmp(firstPath, secondPath) == 0;
#else
    struct stat firstStatus;
    struct stat secondStatus;
    return stat(first, &firstStatus) == 0 && stat(second, &secondStatus) == 0 &&
           firstStatus.st_dev == secondStatus.st_dev && firstStatus.st_ino == secondStatus.st_ino;
#endif
}

void UseFileName(const char* name)
{
    size_t length = strlen(name);
    if (length >= sizeof CurrentFileName) {
        length = sizeof CurrentFileName - 1;
    }
    memset(CurrentFileName, 0, sizeof CurrentFileName);
    memcpy(CurrentFileName, name, length);
}

std::string WithEnding(const std::string& name, const char* ending)
{
    return name.size() < 3 ? name : name.substr(0, name.size() - 3) + ending;
}
