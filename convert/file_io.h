// The converters' file layer: the input read whole, all-or-nothing outputs, and a seam that
// lets tests make any single file operation fail.
//
// Every output is written under a temporary name in its final name's folder and renamed over
// the final name only once complete, so a failure at any point leaves either the complete new
// file or the old file (or none) under the final name, never a half-written one. A dump and
// its side data are published as one unit: after any failure, a kill included, the folder
// holds the old pair or the new pair, never one of each.
//
// Two conversions of the same output take turns: the temporary file is taken for one
// process at a time, and its name is the output's own, so a conversion that was killed leaves
// at most one file per output, which the next conversion of that output takes over.
#ifndef QUILLMARSH_CONVERT_FILE_IO_H
#define QUILLMARSH_CONVERT_FILE_IO_H

#include "workspace.h"

#include <stdint.h>

// Room for a name of FILE_NAME_CAPACITY characters plus a directory prefix and the
// temporary name.
enum { PATH_CAPACITY = 512 };

// A temporary output is named "~qm-" + eight hex digits that stand for the final name + "-" +
// the final name's last three characters + ".tmp", in the final name's folder: short, so
// that a final name near the length limits still gets one, and never matched by a batch
// enumeration of "*.spc" or "*.txt" running in the same folder.
#define TEMPORARY_PREFIX "~qm-"
#define TEMPORARY_SUFFIX ".tmp"

// Bytes gathered before one write to the file: large enough that system calls are few,
// small enough to stay in the cache while it fills.
enum { OUTPUT_STAGING_CAPACITY = 1 << 20 };

// A file descriptor or a HANDLE.
typedef intptr_t SystemFile;

// A file's bytes, read into memory or, for a large file, mapped read-only.
struct InputFile {
    uint8_t* Bytes;
    uint32_t Size;
    bool Primary;
    SystemFile File;
    void* View;   // the mapping, or NULL when the bytes were read
    intptr_t Map; // the Windows mapping object
};

struct OutputFile {
    SystemFile File;
    bool Taken;
    bool Failed;
    uint32_t Staged;
    uint8_t* Staging;
    char FinalName[PATH_CAPACITY];
    char TemporaryName[PATH_CAPACITY];
};

enum LoadResult { LOAD_OK, LOAD_MISSING, LOAD_FAILED };

// Reads the file named by CurrentFileName and hands its bytes to `write`, which derives its
// output names from CurrentFileName. Fills LastConversion's problem when the file cannot be
// read; when it cannot, or `write` fails, the name is left as it was.
void ConvertWholeFile(bool (*write)(const uint8_t* bytes, uint32_t size));

// The input's bytes in memory the converter may change: as they are when they were read, a
// private copy of a mapped file's (freed when the conversion ends). NULL, with the problem
// reported, when no memory is left for the copy.
uint8_t* WritableInput();

// A file other than the input, read whole (side data). LOAD_MISSING: nothing under the name.
LoadResult LoadSideFile(const char* name, InputFile* file);
void CloseSideFile(InputFile* file);

// Takes the output's temporary file. Refuses an output that would replace the input. A
// dump whose last decode was killed halfway through publishing gets its old side data back.
bool OpenOutput(OutputFile* output, const char* finalName);
void WriteOutput(OutputFile* output, const void* bytes, uint32_t count);
// Writes count bytes XORed with the low byte of TEXT_MASK.
void WriteMaskedOutput(OutputFile* output, const uint8_t* bytes, uint32_t count);
// Puts the finished output in place; on failure the final name is left as it was.
bool PublishOutput(OutputFile* output);
// Puts a dump and its side data in place together: the old pair or the new pair, whatever
// fails and whenever the process dies.
bool PublishPair(OutputFile* dump, OutputFile* sideData);
// Removes the temporary file; the final name is left as it was.
void DiscardOutput(OutputFile* output);

// A rebuild reads a dump and its side data: if the decode that wrote them was killed while
// publishing them, the old pair is put back first.
void RecoverInterruptedPair(const char* dumpName);

// Creates a folder for outputs; an existing one is not an error.
bool MakeOutputFolder(const char* name);

// Records the first problem of a conversion in LastConversion, with the file it concerns and
// the system's error code.
void ReportProblem(ConversionProblem problem, const char* name);

// XORs count bytes with the low byte of TEXT_MASK from source into target (may be the same).
void MaskBytes(uint8_t* target, const uint8_t* source, uint32_t count);

// ---- Fault seam for tests ----------------------------------------------------------------
// Every open, read, write, truncation and rename counts as one operation. When FileFaultAt
// is N > 0, the Nth operation from now fails as the system would fail it, or, with
// FileFaultKills set, ends the process there as a kill would.
extern uint32_t FileFaultAt;
extern uint32_t FileOperationCount;
extern bool FileFaultKills;

#endif
