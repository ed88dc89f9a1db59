// What the command line learns about its files itself: whether a name stands for a regular
// file, and whether two names are one file.
#include "command_line.h"
#include "file_names.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

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

std::string FileKey(const std::string& name)
{
#ifdef _WIN32
    // Paths as Windows compares them: "a.txt", ".\\a.txt" and "C:\\w\\a.txt" give one.
    char full[_MAX_PATH];
    return NameKey(_fullpath(full, name.c_str(), sizeof full) != NULL ? full : name);
#else
    const char* base = BaseNameOf(name.c_str());
    std::string folder = base == name.c_str() ? "." : name.substr(0, (size_t)(base - name.c_str()));
    char* path = realpath(folder.c_str(), NULL); // links and "." followed
    std::string key = path != NULL ? std::string(path) + "/" + base : name;
    free(path);
    return key;
#endif
}

std::string WithEnding(const std::string& name, const char* ending)
{
    return name.size() < 3 ? name : name.substr(0, name.size() - 3) + ending;
}
