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

// "mod" + separator + the base name of CurrentFileName; false if it does not fit.
bool BuildRebuiltName(char* name, uint32_t capacity);

// The side-data name a rebuild looks for first: the (at most) five characters before the
// last three of CurrentFileName, then "ext", looked up in the current directory.
void BuildSideDataName(char* name);

// The dump's name with its last three characters replaced by "ext": where decoding this
// dump's speech file put its side data. The dump's name has at least three characters.
void BuildSiblingSideDataName(char* name, const char* dumpName);

#endif
