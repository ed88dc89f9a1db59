// The file layer's system calls on Windows (8-bit "A" names, in the system code page).
#ifdef _WIN32
#include "file_system.h"

#include "file_names.h"

#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int SystemError;

// Below this size a read into a buffer kept for the run is cheaper than a mapping.
enum { SMALL_INPUT_LIMIT = 256 << 10 };

// How long a wait for a folder's lock may take before the user hears of it.
enum { FOLDER_WAIT_NOTICE_MS = 500 };

static uint8_t SmallInputBuffer[SMALL_INPUT_LIMIT];

// The primary input as the file system knows it, whatever name leads to it.
static BY_HANDLE_FILE_INFORMATION InputIdentity;
static bool InputKnown;
static HANDLE InputHandle; // while InputKnown

// A file that is mapped cannot be cut short on Windows, so only a read can find it changed.
static bool InputChanged;

// The few errno values that a user's message needs.
static bool Fail()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: // a pattern that matched nothing is a name no file can have
        SystemError = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        SystemError = EACCES;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        SystemError = ENOSPC;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        SystemError = EBUSY;
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        SystemError = ENAMETOOLONG;
        break;
    default:
        SystemError = EIO;
    }
    return false;
}

bool SystemInputChanged()
{
    // Lengthened, or rewritten in place, by another program while it was read (a mapped file
    // cannot be cut short).
    BY_HANDLE_FILE_INFORMATION now;
    bool rewritten = InputKnown && GetFileInformationByHandle(InputHandle, &now) &&
                     (now.nFileSizeHigh != InputIdentity.nFileSizeHigh ||
                      now.nFileSizeLow != InputIdentity.nFileSizeLow ||
                      CompareFileTime(&now.ftLastWriteTime, &InputIdentity.ftLastWriteTime) != 0);
    return InputChanged || rewritten;
}

void SystemForgetInputChange()
{
    InputChanged = false;
}

// Reads size bytes; a file that ends sooner has changed since its size was taken.
static bool ReadFully(HANDLE file, uint8_t* bytes, uint32_t size)
{
    uint32_t done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + done, size - done, &got, NULL)) {
            return Fail();
        }
        if (got == 0) {
            InputChanged = true;
            SystemError = EIO;
            return false;
        }
        done += got;
    }
    return true;
}

// Shared as widely as the C runtime shares a file opened for reading, so that a file an
// editor holds open still converts. A folder cannot be opened this way at all.
static HANDLE OpenForReading(const char* name)
{
    HANDLE file =
        CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        Fail();
        DWORD attributes = GetFileAttributesA(name);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SystemError = EISDIR;
        }
    } else if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        SystemError = EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

ConversionProblem SystemOpenInput(const char* name, InputFile* input, bool primary)
{
    input->Bytes = NULL;
    input->Size = 0;
    input->View = NULL;
    input->Map = 0;
    input->Primary = primary;
    if (primary) {
        InputKnown = false;
    }
    HANDLE file = OpenForReading(name);
    input->File = (SystemFile)file;
    if (file == INVALID_HANDLE_VALUE) {
        return SystemError == EISDIR || SystemError == EINVAL ? PROBLEM_NOT_REGULAR_FILE
                                                              : PROBLEM_CANNOT_OPEN;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        Fail();
        return PROBLEM_READ_FAILED;
    }
    if (size.QuadPart > 0xFFFFFFFEll) {
        SystemError = EFBIG;
        return PROBLEM_TOO_LARGE;
    }
    if (primary) {
        InputKnown = GetFileInformationByHandle(file, &InputIdentity) != 0;
        InputHandle = file;
    }
    input->Size = (uint32_t)size.QuadPart;
    if (input->Size == 0 || (primary && input->Size <= SMALL_INPUT_LIMIT)) {
        input->Bytes = SmallInputBuffer; // an empty file cannot be mapped
        return ReadFully(file, input->Bytes, input->Size)
                   ? PROBLEM_NONE
                   : (InputChanged ? PROBLEM_INPUT_CHANGED : PROBLEM_READ_FAILED);
    }
    // A catalogue read beside the conversions is copied into the heap, which an editor saving
    // it in place meanwhile cannot change under them, as it would a mapping (which allows
    // writes: the sharing the editors need).
    HANDLE map = primary ? CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL) : NULL;
    void* view = map != NULL ? MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0) : NULL;
    if (view == NULL) {
        if (map != NULL) {
            CloseHandle(map);
        }
        // Where a mapping cannot be had, a read into the heap does the same job.
        uint8_t* bytes = (uint8_t*)malloc(input->Size + 1);
        if (bytes == NULL) {
            SystemError = ENOMEM;
            return PROBLEM_READ_FAILED;
        }
        input->Bytes = bytes;
        return ReadFully(file, bytes, input->Size)
                   ? PROBLEM_NONE
                   : (InputChanged ? PROBLEM_INPUT_CHANGED : PROBLEM_READ_FAILED);
    }
    input->Map = (intptr_t)map;
    input->View = view;
    input->Bytes = (uint8_t*)view;
    return PROBLEM_NONE;
}

bool SystemWrittenInPlace(const InputFile*, const char*)
{
    return false; // a file read beside is a copy here
}

void SystemCloseInput(InputFile* input)
{
    if (input->View != NULL) {
        UnmapViewOfFile(input->View);
        CloseHandle((HANDLE)input->Map);
    } else if (input->Bytes != NULL && input->Bytes != SmallInputBuffer) {
        free(input->Bytes);
    }
    if ((HANDLE)input->File != INVALID_HANDLE_VALUE) {
        CloseHandle((HANDLE)input->File);
    }
    input->Bytes = NULL;
    input->View = NULL;
    input->File = (SystemFile)INVALID_HANDLE_VALUE;
    if (input->Primary) {
        InputKnown = false;
    }
}

// One file by its volume and file index: names in another case, short 8.3 names and links
// all lead there.
bool SystemIsInput(const char* name)
{
    HANDLE file = InputKnown
                      ? CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL)
                      : INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION info;
    bool same = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info) &&
                info.dwVolumeSerialNumber == InputIdentity.dwVolumeSerialNumber &&
                info.nFileIndexHigh == InputIdentity.nFileIndexHigh &&
                info.nFileIndexLow == InputIdentity.nFileIndexLow;
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return same;
}

// ---- Files --------------------------------------------------------------------------------------

bool SystemCreateFile(const char* name, SystemFile* file)
{
    // Always a new file: whatever stands under the name (a leftover, or a hard link to any
    // other file) is removed, never written through.
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 2 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        handle = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (handle == INVALID_HANDLE_VALUE &&
            (GetLastError() != ERROR_FILE_EXISTS || !DeleteFileA(name))) {
            break;
        }
    }
    *file = (SystemFile)handle;
    return handle != INVALID_HANDLE_VALUE || Fail();
}

void SystemKeepPermissions(SystemFile, uint32_t)
{
}

bool SystemOpenFile(const char* name, SystemFile* file, uint64_t* size)
{
    HANDLE handle = OpenForReading(name);
    LARGE_INTEGER length;
    *file = (SystemFile)handle;
    *size = 0;
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (!GetFileSizeEx(handle, &length)) {
        Fail();
        CloseHandle(handle);
        return false;
    }
    *size = (uint64_t)length.QuadPart;
    return true;
}

bool SystemSeek(SystemFile file, uint64_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)offset;
    return SetFilePointerEx((HANDLE)file, to, NULL, FILE_BEGIN) || Fail();
}

bool SystemRead(SystemFile file, void* bytes, uint32_t count, uint32_t* got)
{
    DWORD read = 0;
    bool ok = ReadFile((HANDLE)file, bytes, count, &read, NULL) || Fail();
    *got = ok ? read : 0;
    return ok;
}

bool SystemWrite(SystemFile file, const void* bytes, uint32_t count)
{
    DWORD written = 0;
    return (WriteFile((HANDLE)file, bytes, count, &written, NULL) && written == count) || Fail();
}

bool SystemClose(SystemFile file)
{
    return CloseHandle((HANDLE)file) || Fail();
}

bool SystemReplace(const char* from, const char* to)
{
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    Fail();
    // Denied because another program holds the file open: it cannot be opened alone either.
    if (SystemError == EACCES) {
        HANDLE probe = CreateFileA(to, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
        } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
            SystemError = EBUSY;
        }
    }
    return false;
}

bool SystemRemove(const char* name)
{
    // Side data a user made read-only is set aside when it is replaced, and must still go.
    return DeleteFileA(name) ||
           (GetLastError() == ERROR_ACCESS_DENIED &&
            SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(name)) ||
           Fail();
}

FileKind SystemFileKind(const char* name, uint32_t*)
{
    if (NamesDosDevice(name)) {
        return NOTHING_THERE;
    }
    DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        Fail();
        return SystemError == ENOENT ? NOTHING_THERE : KIND_UNKNOWN;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        SystemError = EISDIR;
        return OTHER_KIND;
    }
    return REGULAR_FILE;
}

bool SystemRemoveEmptyFolder(const char* name)
{
    return RemoveDirectoryA(name) != 0;
}

bool SystemMakeDirectory(const char* name)
{
    if (CreateDirectoryA(name, NULL)) {
        return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return Fail();
    }
    DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return true;
    }
    SystemError = ENOTDIR; // something else stands under the name
    return false;
}

bool SystemFolderMayHold(const char* prefix, const char* ending)
{
    // Short 8.3 names match too ("a.extra" is "A~1.EXT"): a look too many, never one too few.
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof pattern, "%s*%s", prefix, ending) >= (int)sizeof pattern) {
        return true;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return GetLastError() != ERROR_FILE_NOT_FOUND;
    }
    FindClose(search);
    return true;
}

bool SystemLeadByte(char c)
{
    return IsDBCSLeadByte((BYTE)c) != 0;
}

uint64_t SystemProcessId()
{
    return GetCurrentProcessId();
}

bool SystemProcessRuns(uint64_t id)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, (DWORD)id);
    if (process == NULL) {
        return id > MAXDWORD || GetLastError() != ERROR_INVALID_PARAMETER; // denied: another's
    }
    DWORD code = 0;
    bool runs = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return runs;
}

// ---- Folder locks -------------------------------------------------------------------------------
// A named mutex for each folder, named after its full path without regard to letter case: it
// works alike on Windows and under Wine, and a process that dies lets go of it (the next one
// gets it "abandoned", and settles what the dead one left).

bool SystemOpenFolderLock(const char* folder, FolderLock* lock)
{
    lock->Held = false;
    lock->Handle = 0;
    // The wide calls: the "A" ones give a folder named outside the ANSI code page ("Łukasz"
    // under Windows-1252) a best-fit path that does not exist.
    wchar_t given[MAX_PATH];
    wchar_t full[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, folder, -1, given, MAX_PATH) == 0) {
        return Fail();
    }
    DWORD length = GetFullPathNameW(given, MAX_PATH, full, NULL);
    if (length == 0 || length >= MAX_PATH) {
        return length == 0 ? Fail() : (SystemError = ENAMETOOLONG, false);
    }
    // Short 8.3 names and the long name of a folder are one folder.
    length = GetLongPathNameW(full, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return Fail();
    }
    while (length > 3 && (path[length - 1] == L'\\' || path[length - 1] == L'/')) {
        path[--length] = 0;
    }
    wchar_t upper[MAX_PATH];
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path, (int)length + 1, upper, MAX_PATH) ==
        0) {
        return Fail();
    }
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const wchar_t* c = upper; *c != 0; ++c) {
        hash = (hash ^ (uint16_t)*c) * 1099511628211ull;
    }
    // The key orders the locks a process takes; a path too long for it in UTF-8 goes by its hash.
    if (WideCharToMultiByte(CP_UTF8, 0, upper, -1, lock->Key, (int)sizeof lock->Key, NULL, NULL) ==
        0) {
        snprintf(lock->Key, sizeof lock->Key, "#%016llx", (unsigned long long)hash);
    }
    // Mutex names may not hold a backslash, and are at most MAX_PATH long; a long path stands in
    // by its hash, where two folders sharing one only take turns needlessly.
    wchar_t name[MAX_PATH];
    if (wcslen(upper) < 200) {
        swprintf(name, MAX_PATH, L"Local\\QuillmarshSPC folder %ls", upper);
        for (wchar_t* c = name + 6; *c != 0; ++c) {
            *c = *c == L'\\' ? L'/' : *c;
        }
    } else {
        swprintf(name, MAX_PATH, L"Local\\QuillmarshSPC folder #%016llx", (unsigned long long)hash);
    }
    HANDLE mutex = CreateMutexW(NULL, FALSE, name);
    if (mutex == NULL) {
        return Fail();
    }
    lock->Handle = (intptr_t)mutex;
    return true;
}

bool SystemTakeFolderLock(FolderLock* lock, const char* folder)
{
    HANDLE mutex = (HANDLE)lock->Handle;
    DWORD result = WaitForSingleObject(mutex, FOLDER_WAIT_NOTICE_MS);
    if (result == WAIT_TIMEOUT) {
        if (WaitingForFolder != NULL) {
            WaitingForFolder(folder);
        }
        result = WaitForSingleObject(mutex, INFINITE);
    }
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        return Fail();
    }
    lock->Held = true;
    return true;
}

void SystemReleaseFolderLock(FolderLock* lock)
{
    if (lock->Handle != 0) {
        if (lock->Held) {
            ReleaseMutex((HANDLE)lock->Handle);
        }
        CloseHandle((HANDLE)lock->Handle);
    }
    lock->Handle = 0;
    lock->Held = false;
}
#endif
