// Names the converters derive from CurrentFileName.
#ifndef QUILLMARSH_CONVERT_FILE_NAMES_H
#define QUILLMARSH_CONVERT_FILE_NAMES_H

#include <stdint.h>

// Rebuilt speech files go here, below the current directory.
#define OUTPUT_DIRECTORY "mod"

// Length of CurrentFileName, never reading past its capacity.
uint32_t CurrentFileNameLength();

// The part of a path after its last directory separator.
const char* BaseNameOf(const char* path);

// Whether the last part of a name is a DOS device's (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to
// LPT9), in any letter case and whatever its extension: on Windows such a name opens the device
// in every folder, so no file can stand under it. (The short side-data name of "telecom1.txt"
// is "com1.ext".)
bool NamesDosDevice(const char* path);

// Whether a path's file name starts with the prefix of the program's own temporary files; on
// Windows in any letter case, where names are one file in every case.
bool IsTemporaryName(const char* path);

// "mod" + separator + the base name of CurrentFileName; false if it does not fit.
bool BuildRebuiltName(char* name, uint32_t capacity);

// The names a rebuild looks for a dump's side data under, in order: the (at most) five
// characters before the dump name's last three, then "ext", in the current directory; then
// the dump's name with its last three characters replaced by "ext", where decoding put it.
// The dump's name has at least three characters.
void BuildSideDataNames(const char* dumpName, char* first, char* second);

#endif
