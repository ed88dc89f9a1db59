// What the command line learns about its files itself: whether a name stands for a regular
// file, whether two names are one file, and (on Windows) whether a name fits the code page.
#include "command_line.h"
#include "file_names.h"

#include <errno.h>
#include <set>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#endif

bool FileStands(const char* name)
{
    struct stat status;
    return stat(name, &status) == 0 && S_ISREG(status.st_mode);
}

int WhyNoFileCanBeWritten(const char* name)
{
    std::string folder(name, (size_t)(BaseNameOf(name) - name));
#ifdef _WIN32
    // The folder without the separator after it, as names starting "\\?\" need it; a root
    // ("\", "C:\") keeps it. A device (NUL, CON) opens in every folder.
    if (folder.size() > 1 && folder[folder.size() - 2] != ':') {
        folder.pop_back();
    }
    DWORD attributes = GetFileAttributesA(folder.empty() ? "." : folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return ENOENT;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return ENOTDIR;
    }
    if (NamesDosDevice(name)) {
        return EINVAL;
    }
    attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR
                                                                                            : 0;
#else
    struct stat status;
    if (stat((folder + ".").c_str(), &status) != 0) {
        // A link that leads nowhere stands where the folder would be made.
        int missing = errno;
        return missing == ENOENT && folder.size() > 1 &&
                       lstat(folder.substr(0, folder.size() - 1).c_str(), &status) == 0
                   ? ENOTDIR
                   : missing;
    }
    if (!S_ISDIR(status.st_mode)) {
        return ENOTDIR;
    }
    if (stat(name, &status) != 0 || S_ISREG(status.st_mode)) {
        return 0;
    }
    return S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
#endif
}

#ifdef _WIN32
// The volume and file index of a file or folder, which links, junctions and short 8.3 names
// lead to alike. False when it cannot be opened, or when the file system gives no index (some
// network shares give 0 for every file).
static bool Identify(const char* name, BY_HANDLE_FILE_INFORMATION* info)
{
    HANDLE file = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    bool known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, info) &&
                 (info->nFileIndexHigh | info->nFileIndexLow) != 0;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return known;
}

bool FitsCodePage(const wchar_t* text)
{
    BOOL lost = FALSE;
    return GetACP() == CP_UTF8 ||
           (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, NULL, 0, NULL, &lost) > 0 &&
            !lost);
}

std::string InCodePage(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, NULL, 0, NULL, NULL);
    std::string narrow(size > 1 ? (size_t)size : 1, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, &narrow[0], size, NULL, NULL);
    narrow.resize(strlen(narrow.c_str()));
    return narrow;
}
#endif

bool SameFile(const char* first, const char* second)
{
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION firstInfo;
    BY_HANDLE_FILE_INFORMATION secondInfo;
    if (Identify(first, &firstInfo) && Identify(second, &secondInfo)) {
        return firstInfo.dwVolumeSerialNumber == secondInfo.dwVolumeSerialNumber &&
               firstInfo.nFileIndexHigh == secondInfo.nFileIndexHigh &&
               firstInfo.nFileIndexLow == secondInfo.nFileIndexLow;
    }
    // Names of files that do not stand yet: full paths, compared without case.
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
    // Paths as Windows compares them: "a.txt", ".\\a.txt" and "C:\\w\\a.txt" give one, and so
    // does the short 8.3 name of a file that stands ("LONGNA~1.SPC").
    char full[_MAX_PATH];
    char longName[_MAX_PATH];
    if (_fullpath(full, name.c_str(), sizeof full) == NULL) {
        return NameKey(name);
    }
    DWORD length = GetLongPathNameA(full, longName, sizeof longName);
    if (length > 0 && length < sizeof longName) {
        return NameKey(longName);
    }
    // A file not written yet: its folder's long name, then its own. A batch's outputs are
    // mostly in one folder, looked up once.
    static std::string shortFolder = "?";
    static std::string longFolder;
    char* base = (char*)BaseNameOf(full);
    std::string own = base;
    *base = 0;
    if (shortFolder != full) {
        shortFolder = full;
        length = GetLongPathNameA(full, longName, sizeof longName);
        longFolder = length > 0 && length < sizeof longName ? longName : full;
        if (!longFolder.empty() && longFolder.back() != '\\' && longFolder.back() != '/') {
            longFolder += '\\';
        }
    }
    return NameKey(longFolder + own);
#else
    // The folder with links and "." followed; the current one, which most names are in, is
    // looked up once a run (a batch takes thousands).
    static std::string current;
    const char* base = BaseNameOf(name.c_str());
    bool here = base == name.c_str();
    if (here && !current.empty()) {
        return current + base;
    }
    char* path = realpath(here ? "." : name.substr(0, (size_t)(base - name.c_str())).c_str(), NULL);
    std::string folder = path != NULL ? std::string(path) + "/" : std::string();
    free(path);
    current = here ? folder : current;
    return folder.empty() ? name : folder + base;
#endif
}

std::vector<const char*> OncePerFile(const std::vector<const char*>& names)
{
    std::set<std::string> keys;
    std::vector<const char*> once;
    for (const char* name : names) {
        if (keys.insert(FileKey(name)).second) {
            once.push_back(name);
        }
    }
    return once;
}

std::string WithEnding(const std::string& name, const char* ending)
{
    return name.size() < 3 ? name : name.substr(0, name.size() - 3) + ending;
}
