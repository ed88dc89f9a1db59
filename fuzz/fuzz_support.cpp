#include "fuzz_support.h"

#include "workspace.h"

#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

// Empty until the run has moved into it; every path below is built from it, so nothing
// outside it is ever removed.
static char ScratchDirectory[64];

// Calls visit with every entry but "." and ".." in the scratch directory and in its "mod".
static void ForEachEntry(void (*visit)(const char* path, bool folder, void* context), void* context)
{
    for (const char* folder : {"", "/mod"}) {
        char base[128];
        snprintf(base, sizeof base, "%s%s", ScratchDirectory, folder);
        DIR* directory = ScratchDirectory[0] != 0 ? opendir(base) : NULL;
        if (directory == NULL) {
            continue;
        }
        while (struct dirent* entry = readdir(directory)) {
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) {
                char path[600];
                snprintf(path, sizeof path, "%s/%s", base, entry->d_name);
                visit(path, entry->d_type == DT_DIR, context);
            }
        }
        closedir(directory);
    }
}

static void RemoveFile(const char* path, bool folder, void*)
{
    if (!folder) {
        unlink(path);
    }
}

static void CountFile(const char* path, bool folder, void* count)
{
    (void)path;
    *(uint32_t*)count += folder ? 0 : 1;
}

static void RemoveScratchDirectory()
{
    if (ScratchDirectory[0] != 0 && chdir("/") == 0) {
        ForEachEntry(RemoveFile, NULL);
        rmdir((std::string(ScratchDirectory) + "/mod").c_str());
        rmdir(ScratchDirectory);
    }
}

void EnterScratchDirectory()
{
    if (ScratchDirectory[0] != 0) {
        return;
    }
    // Thousands of conversions a second each create, rename and delete files: keep them off
    // the disk.
    struct stat info;
    const char* base = stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) ? "/dev/shm" : "/tmp";
    char name[sizeof ScratchDirectory];
    snprintf(name, sizeof name, "%s/quillmarsh-fuzz-XXXXXX", base);
    Require(mkdtemp(name) != NULL && chdir(name) == 0, "a private working directory can be made");
    memcpy(ScratchDirectory, name, sizeof name);
    atexit(RemoveScratchDirectory);
}

// libFuzzer calls this before it reads its arguments. The paths among them are made
// absolute, and crash files are sent to the directory the run started in, so that the move
// to the scratch directory changes nothing the caller can see.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    char start[PATH_MAX];
    Require(getcwd(start, sizeof start) != NULL, "the starting directory is known");
    bool artifactPrefix = false;
    for (int k = 0; k < *argc; ++k) {
        std::string argument = (*argv)[k];
        static const char* const pathFlags[] = {
            "", "-artifact_prefix=", "-exact_artifact_path=", "-dict="};
        for (const char* flag : pathFlags) {
            size_t length = strlen(flag);
            if (k > 0 && argument.compare(0, length, flag) == 0 && argument.size() > length &&
                argument[length] != '/' && (length > 0 || argument[0] != '-')) {
                argument.insert(length, std::string(start) + "/");
            }
        }
        artifactPrefix = artifactPrefix || argument.compare(0, 17, "-artifact_prefix=") == 0;
        arguments.push_back(argument);
    }
    if (!artifactPrefix) {
        arguments.push_back(std::string("-artifact_prefix=") + start + "/");
    }
    for (std::string& argument : arguments) {
        pointers.push_back(&argument[0]);
    }
    pointers.push_back(NULL);
    *argc = (int)arguments.size();
    *argv = pointers.data();
    EnterScratchDirectory();
    return 0;
}

void StartConversion(const char* name)
{
    ForEachEntry(RemoveFile, NULL);
    StoredHeaderByte = 0;
    StoredLineCount = 0;
    snprintf(CurrentFileName, sizeof CurrentFileName, "%s", name);
}

void WriteWholeFile(const char* name, const std::string& bytes)
{
    FILE* file = fopen(name, "wb");
    bool written = file != NULL && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    Require(file != NULL && fclose(file) == 0 && written, "a fuzz input can be written to a file");
}

bool ReadWholeFile(const char* name, std::string* bytes)
{
    FILE* file = fopen(name, "rb");
    if (file == NULL) {
        return false;
    }
    bytes->clear();
    char block[4096];
    size_t count;
    while ((count = fread(block, 1, sizeof block, file)) != 0) {
        bytes->append(block, count);
    }
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

bool FileExists(const char* name)
{
    struct stat info;
    return stat(name, &info) == 0;
}

uint32_t FileCount()
{
    uint32_t count = 0;
    ForEachEntry(CountFile, &count);
    return count;
}

uint32_t LittleEndian(const uint8_t* bytes, int count)
{
    uint32_t value = 0;
    for (int k = count - 1; k >= 0; --k) {
        value = value << 8 | bytes[k];
    }
    return value;
}

void Require(bool ok, const char* invariant)
{
    if (!ok) {
        fprintf(stderr, "fuzz check failed: %s\n", invariant);
        RemoveScratchDirectory(); // abort skips the handlers registered with atexit
        abort();
    }
}
