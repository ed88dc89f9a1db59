// The file layer's system calls on Windows (8-bit "A" names, in the system code page).
#ifdef _WIN32
#include "file_system.h"

#include <windows.h>

#include <errno.h>
#include <stdlib.h>

int SystemError;

// Below this size a read into a buffer kept for the run is cheaper than a mapping.
enum { SMALL_INPUT_LIMIT = 256 << 10 };

// How long a conversion waits for another one that holds the same output.
enum { TAKE_FILE_PATIENCE_MS = 60000 };

static uint8_t SmallInputBuffer[SMALL_INPUT_LIMIT];

static char InputPath[MAX_PATH];

// The few errno values that a user's message needs.
static bool Fail()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
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

static bool ReadFully(HANDLE file, uint8_t* bytes, uint32_t size)
{
    uint32_t done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + done, size - done, &got, NULL)) {
            return Fail();
        }
        if (got == 0) {
            SystemError = EIO; // the file shrank under us
            return false;
        }
        done += got;
    }
    return true;
}

ConversionProblem SystemOpenInput(const char* name, InputFile* input, bool primary)
{
    input->Bytes = NULL;
    input->Size = 0;
    input->View = NULL;
    input->Map = 0;
    input->Primary = primary;
    if (primary) {
        InputPath[0] = 0;
    }
    // Shared as widely as the C runtime shares a file opened for reading, so that a file an
    // editor holds open still converts.
    HANDLE file =
        CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    input->File = (SystemFile)file;
    if (file == INVALID_HANDLE_VALUE) {
        Fail();
        // A directory cannot be opened this way at all.
        DWORD attributes = GetFileAttributesA(name);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SystemError = EISDIR;
            return PROBLEM_NOT_REGULAR_FILE;
        }
        return PROBLEM_CANNOT_OPEN;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        SystemError = EINVAL;
        return PROBLEM_NOT_REGULAR_FILE;
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
    if (primary && GetFullPathNameA(name, MAX_PATH, InputPath, NULL) >= MAX_PATH) {
        InputPath[0] = 0;
    }
    input->Size = (uint32_t)size.QuadPart;
    if (input->Size == 0) {
        input->Bytes = SmallInputBuffer; // an empty file cannot be mapped
        return PROBLEM_NONE;
    }
    if (primary && input->Size <= SMALL_INPUT_LIMIT) {
        input->Bytes = SmallInputBuffer;
        return ReadFully(file, input->Bytes, input->Size) ? PROBLEM_NONE : PROBLEM_READ_FAILED;
    }
    HANDLE map = CreateFileMappingA(file, NULL, PAGE_READONLY, 0, 0, NULL);
    void* view = map != NULL ? MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0) : NULL;
    if (view == NULL) {
        if (map != NULL) {
            CloseHandle(map);
        }
        // Where a mapping cannot be had, a read into the heap does the same job.
        uint8_t* bytes = (uint8_t*)malloc(input->Size);
        if (bytes == NULL) {
            SystemError = ENOMEM;
            return PROBLEM_READ_FAILED;
        }
        input->Bytes = bytes;
        return ReadFully(file, bytes, input->Size) ? PROBLEM_NONE : PROBLEM_READ_FAILED;
    }
    input->Map = (intptr_t)map;
    input->View = view;
    input->Bytes = (uint8_t*)view;
    return PROBLEM_NONE;
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
        InputPath[0] = 0;
    }
}

// Windows names ignore letter case, so two names are one file when their full paths match
// without regard to it.
bool SystemIsInput(const char* name)
{
    char path[MAX_PATH];
    DWORD length = GetFullPathNameA(name, MAX_PATH, path, NULL);
    return InputPath[0] != 0 && length != 0 && length < MAX_PATH && lstrcmpiA(path, InputPath) == 0;
}

bool SystemTakeFile(const char* name, SystemFile* file, uint64_t* priorSize)
{
    if (SystemIsInput(name)) {
        SystemError = EEXIST;
        return false;
    }
    // No sharing but deletion: another conversion cannot open the file while this one holds
    // it, and this one can still rename it into place before letting go.
    DWORD waited = 0;
    HANDLE handle;
    while ((handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, NULL,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL)) ==
           INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_SHARING_VIOLATION || waited >= TAKE_FILE_PATIENCE_MS) {
            return Fail();
        }
        Sleep(5);
        waited += 5;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) {
        Fail();
        CloseHandle(handle);
        return false;
    }
    *file = (SystemFile)handle;
    *priorSize = (uint64_t)size.QuadPart;
    return true;
}

bool SystemTruncate(SystemFile file)
{
    LARGE_INTEGER start = {};
    return (SetFilePointerEx((HANDLE)file, start, NULL, FILE_BEGIN) &&
            SetEndOfFile((HANDLE)file)) ||
           Fail();
}

bool SystemWrite(SystemFile file, const void* bytes, uint32_t count)
{
    DWORD written = 0;
    return (WriteFile((HANDLE)file, bytes, count, &written, NULL) && written == count) || Fail();
}

void SystemRelease(SystemFile file)
{
    CloseHandle((HANDLE)file);
}

bool SystemReplace(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) || Fail();
}

bool SystemRemove(const char* name)
{
    return DeleteFileA(name) || Fail();
}

int64_t SystemFileSize(const char* name)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return -1;
    }
    return ((int64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

bool SystemMakeDirectory(const char* name)
{
    if (CreateDirectoryA(name, NULL)) {
        return true;
    }
    DWORD attributes = GetFileAttributesA(name);
    return (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) ||
           Fail();
}
#endif
