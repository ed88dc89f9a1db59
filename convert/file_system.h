// The system calls the file layer stands on, one implementation per system
// (file_system_posix.cpp, file_system_win32.cpp). Nothing above the file layer uses them.
//
// Failures return false and leave an errno value in SystemError: the Windows side maps its
// own error codes onto the few errno values a user's message needs.
#ifndef QUILLMARSH_CONVERT_FILE_SYSTEM_H
#define QUILLMARSH_CONVERT_FILE_SYSTEM_H

#include "file_io.h"

#include <stddef.h>

// Opens a regular file for reading (anything else is refused before it is read, so a pipe
// cannot hang the conversion) and makes its bytes available. The primary input is
// remembered, so that SystemIsInput can tell an output that would replace it. A mapped input
// that another program cuts short reads as zeros from there on instead of ending the process,
// and SystemInputChanged then says so.
ConversionProblem SystemOpenInput(const char* name, InputFile* input, bool primary);
void SystemCloseInput(InputFile* input);
// Whether the file opened as `input` under `name` was written since: the same file there, with
// another size or time of last change (one renamed over it leaves `input` as it was).
bool SystemWrittenInPlace(const InputFile* input, const char* name);
bool SystemIsInput(const char* name);
bool SystemInputChanged();
void SystemForgetInputChange();

// A new, empty file for writing; what stood under the name is removed first, never written.
bool SystemCreateFile(const char* name, SystemFile* file);
// Gives a new file the permissions SystemFileKind saw on the file it is to replace (a private
// or read-only dump stays so); nothing on Windows, where a read-only file could not be replaced
// again.
void SystemKeepPermissions(SystemFile file, uint32_t permissions);
// A regular file for reading, and its size; a name holding anything else fails with EISDIR
// (a folder) or EINVAL.
bool SystemOpenFile(const char* name, SystemFile* file, uint64_t* size);
// Moves where the next read starts to `offset` bytes from the file's start.
bool SystemSeek(SystemFile file, uint64_t offset);
// Reads up to count bytes; *got is 0 at the end of the file.
bool SystemRead(SystemFile file, void* bytes, uint32_t count, uint32_t* got);
bool SystemWrite(SystemFile file, const void* bytes, uint32_t count);
// False when the system reports, only as it closes the file, that a write failed (NFS, quotas).
bool SystemClose(SystemFile file);

// Renames from over to (replacing it); both in one folder.
bool SystemReplace(const char* from, const char* to);
// ENOENT in SystemError when nothing stood under the name.
bool SystemRemove(const char* name);
enum FileKind { NOTHING_THERE, REGULAR_FILE, OTHER_KIND, KIND_UNKNOWN };
// Links followed. OTHER_KIND leaves EISDIR in SystemError for a folder, EINVAL for a pipe, a
// device or a socket. A regular file's permissions go into *permissions when asked for.
FileKind SystemFileKind(const char* name, uint32_t* permissions = NULL);
// An existing directory is not an error.
bool SystemMakeDirectory(const char* name);
// Removes a folder only if it is empty.
bool SystemRemoveEmptyFolder(const char* name);
// Whether a name in the folder may end in `ending`; the folder is named as before a file name
// in it ("" for the current one). True too when it cannot be listed.
bool SystemFolderMayHold(const char* prefix, const char* ending);
// Whether a byte starts a character of two in the system's code page (Shift_JIS, GBK, Big5),
// whose second byte may be a backslash; never on POSIX, where no UTF-8 byte of a character
// is a slash.
bool SystemLeadByte(char c);
// This process's number, and whether the process of a number runs; one of another user's, which
// cannot be told, counts as running.
uint64_t SystemProcessId();
bool SystemProcessRuns(uint64_t id);

// The lock of one folder. Key tells two names of one folder apart from two folders, and orders
// locks so that two conversions taking the same two never wait for each other.
enum { FOLDER_KEY_CAPACITY = 600 };
struct FolderLock {
    intptr_t Handle;
    bool Held;
    char Key[FOLDER_KEY_CAPACITY];
};
bool SystemOpenFolderLock(const char* folder, FolderLock* lock);
// Waits while another process holds the lock; calls WaitingForFolder once the wait is longer
// than a moment.
bool SystemTakeFolderLock(FolderLock* lock, const char* folder);
void SystemReleaseFolderLock(FolderLock* lock);

#endif
