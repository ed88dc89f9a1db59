// The one platform call of the conversion core: creating the output directory.
#include "file_io.h"

#ifdef _WIN32
#include <windows.h>

void CreateDirectoryIfMissing(const char* name)
{
    // Fails harmlessly when the directory exists; a real failure shows when the output
    // file inside it cannot be created.
    CreateDirectoryA(name, NULL);
}
#else
#include <sys/stat.h>

void CreateDirectoryIfMissing(const char* name)
{
    mkdir(name, 0777);
}
#endif
