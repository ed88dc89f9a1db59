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
    const char* base = BaseNameOf(name.c_str());
    std::string folder = base == name.c_str() ? "." : name.substr(0, (size_t)(base - name.c_str()));
#ifdef _WIN32
    char full[_MAX_PATH];
    const char* path = _fullpath(full, folder.c_str(), sizeof full);
#else
    char* path = realpath(folder.c_str(), NULL); // links and "." followed
#endif
    std::string key = path != NULL ? NameKey(std::string(path) + "/" + base) : NameKey(name);
#ifndef _WIN32
    free(path);
#endif
    return key;
}

std::string WithEnding(const std::string& name, const char* ending)
{
    return name.size() < 3 ? name : name.substr(0, name.size() - 3) + ending;
}
