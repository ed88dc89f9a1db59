// The system calls the file layer stands on, one implementation per system
// (file_system_posix.cpp, file_system_win32.cpp). Nothing above the file layer uses them.
//
// Failures return false and leave an errno value in SystemError: the Windows side maps its
// own error codes onto the few errno values a user's message needs.
#ifndef QUILLMARSH_CONVERT_FILE_SYSTEM_H
#define QUILLMARSH_CONVERT_FILE_SYSTEM_H

#include "file_io.h"

extern int SystemError;

// Opens a regular file for reading (anything else is refused before it is read, so a pipe
// cannot hang the conversion) and makes its bytes available. The primary input is
// remembered, so that SystemIsInput can tell an output that would replace it.
ConversionProblem SystemOpenInput(const char* name, InputFile* input, bool primary);
void SystemCloseInput(InputFile* input);
bool SystemIsInput(const char* name);

// Opens or creates name for writing and takes it for this process alone, waiting while
// another conversion holds it. priorSize is what the file held before (0 when new).
bool SystemTakeFile(const char* name, SystemFile* file, uint64_t* priorSize);
bool SystemTruncate(SystemFile file);
bool SystemWrite(SystemFile file, const void* bytes, uint32_t count);
void SystemRelease(SystemFile file);

// Renames from over to (replacing it); both in one folder. Works while from is taken.
bool SystemReplace(const char* from, const char* to);
bool SystemRemove(const char* name);
// -1 when nothing stands under the name.
int64_t SystemFileSize(const char* name);
// An existing directory is not an error.
bool SystemMakeDirectory(const char* name);

#endif
