// The converters' file layer: whole-file reads, all-or-nothing outputs, and a seam that lets
// tests make any single file operation fail.
//
// Every output is written under a temporary name beside its final name and renamed over it
// only once complete, so a failure at any point leaves either the complete new file or the
// old file (or none) under the final name, never a half-written one.
#ifndef QUILLMARSH_CONVERT_FILE_IO_H
#define QUILLMARSH_CONVERT_FILE_IO_H

#include <stdint.h>
#include <stdio.h>

// Room for a name of FILE_NAME_CAPACITY characters plus a directory prefix and the
// temporary suffix.
enum { PATH_CAPACITY = 512 };

// A temporary output is named "~qm-" + the final name's last three characters + ".tmp",
// in the final name's folder: short, so that a final name near the length limits still
// gets one, distinct for the dump, the side data and the rebuilt file, and never matched
// by a batch enumeration of "*.spc" or "*.txt" running in the same folder.
#define TEMPORARY_PREFIX "~qm-"
#define TEMPORARY_SUFFIX ".tmp"

// Bytes gathered before one write to the file: large enough that system calls are few,
// small enough to stay in the cache while it fills.
enum { OUTPUT_STAGING_CAPACITY = 64 << 10 };

struct LoadedFile {
    uint8_t* Bytes;
    uint32_t Size;
};

enum LoadResult { LOAD_OK, LOAD_MISSING, LOAD_FAILED };

struct OutputFile {
    FILE* Handle;
    bool Failed;
    uint32_t Staged;
    uint8_t* Staging;
    char FinalName[PATH_CAPACITY];
    char TemporaryName[PATH_CAPACITY];
};

// Reads a whole file into one heap buffer (at least one byte is allocated, so Bytes is
// never null on success). LOAD_MISSING means no file stands under the name.
LoadResult LoadWholeFile(const char* name, LoadedFile* file);
void FreeLoadedFile(LoadedFile* file);

bool OpenOutput(OutputFile* output, const char* finalName);
void WriteOutput(OutputFile* output, const void* bytes, uint32_t count);
// Writes count bytes XORed with the low byte of TEXT_MASK.
void WriteMaskedOutput(OutputFile* output, const uint8_t* bytes, uint32_t count);
// Flushes and closes the temporary file; on failure it is removed.
bool FinishOutput(OutputFile* output);
// Renames a finished temporary file over the final name; on failure it is removed and the
// final name is left as it was.
bool PublishOutput(OutputFile* output);
// FinishOutput, then PublishOutput.
bool CommitOutput(OutputFile* output);
// Closes (if open) and removes the temporary file; the final name is left as it was.
void DiscardOutput(OutputFile* output);

// Reads the file named by CurrentFileName whole and hands it to `write`, which derives its
// output names from CurrentFileName. When the file cannot be read, or `write` fails, the
// name is left as it was. Names shorter than three characters have no extension to replace
// (the output would take the input's own name) and are not converted.
void ConvertWholeFile(bool (*write)(uint8_t* bytes, uint32_t size));

// Creates a directory; an existing one is not an error.
void CreateDirectoryIfMissing(const char* name);

// XORs count bytes with the low byte of TEXT_MASK from source into target (may be the same).
void MaskBytes(uint8_t* target, const uint8_t* source, uint32_t count);

// ---- Fault seam for tests ----------------------------------------------------------------
// Every open, size query, read, write, flush, close and rename counts as one operation.
// When FileFaultAt is N > 0, the Nth operation from now fails as the system would fail it.
extern uint32_t FileFaultAt;
extern uint32_t FileOperationCount;

#endif
