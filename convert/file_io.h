// The converters' file layer: folder locks, the input read whole, all-or-nothing outputs, the
// dump and its side data published as one unit, and a seam that lets tests make any single
// file operation fail.
//
// One lock per folder. A conversion holds the lock of every folder it reads a dump and its
// side data from or writes into, for its whole run over one file; conversions in one folder
// take turns, conversions in different folders run side by side. Whoever takes a folder's lock
// first settles what an interrupted conversion left there (see SettleFolder in file_io.cpp).
//
// Every output is written under a temporary name in its final name's folder and renamed over
// the final name only once complete, so a failure at any point leaves either the complete new
// file or the old file (or none) under the final name, never a half-written one. A dump and
// its side data are published with a journal: after any failure, a kill included, the folder
// holds the old pair or the new pair, never one of each.
#ifndef QUILLMARSH_CONVERT_FILE_IO_H
#define QUILLMARSH_CONVERT_FILE_IO_H

#include "workspace.h"

#include <stdint.h>

// Room for a name of FILE_NAME_CAPACITY characters plus a directory prefix.
enum { PATH_CAPACITY = 512 };

// The names this program keeps for itself in a folder it works in: the temporary files of the
// one conversion that holds the folder's lock, and the journal of a pair being published.
// Never matched by a batch's "*.spc" or "*.txt".
#define TEMPORARY_PREFIX "~qm-"
#define OUTPUT_TEMPORARY TEMPORARY_PREFIX "out.tmp"
#define SIDE_DATA_TEMPORARY TEMPORARY_PREFIX "ext.tmp"
#define OLD_SIDE_DATA_ASIDE TEMPORARY_PREFIX "old.tmp"
#define PUBLISH_JOURNAL TEMPORARY_PREFIX "journal"

// Bytes gathered before one write to the file: large enough that system calls are few,
// small enough to stay in the cache while it fills.
enum { OUTPUT_STAGING_CAPACITY = 1 << 20 };

// How often, in input bytes, a long conversion tells ConversionProgress how far it came.
enum { PROGRESS_STEP = 8 << 20 };

// Tells ConversionProgress, when it is set, how far a long conversion came: every PROGRESS_STEP
// bytes of the input since *reported.
void ReportProgress(uint32_t done, uint32_t total, uint32_t* reported);

// A file descriptor or a HANDLE.
typedef intptr_t SystemFile;

// errno of the last failing system call (Windows codes are mapped onto errno values).
extern int SystemError;

// A file's bytes, read into memory or, for a large file, mapped read-only.
struct InputFile {
    uint8_t* Bytes;
    uint32_t Size;
    bool Primary;
    SystemFile File;
    void* View;           // the mapping, or NULL when the bytes were read
    intptr_t Map;         // the Windows mapping object
    uint64_t Identity[2]; // POSIX: its device and inode, and its time of last change when opened
    uint64_t Modified;
};

// An output is written to a temporary file, or, when it replaces a file that must not change
// unseen, compared with that file as it is produced.
struct OutputFile {
    SystemFile File;
    bool Taken;     // the temporary file (or the file compared with) is open
    bool Comparing; // nothing is written: the bytes are compared with FinalName
    bool Failed;
    bool Differs; // comparing: the output is not the file's bytes
    uint64_t Produced;
    uint64_t FirstDifference;
    uint32_t Staged;
    uint8_t* Staging;
    uint8_t* Compared; // comparing: the file's bytes for the staged ones
    char FinalName[PATH_CAPACITY];
    char TemporaryName[PATH_CAPACITY];
};

// Which folders a conversion works in, besides the input's own.
// WRITING_INTO_MOD: the input's folder and the current one, and "mod" in it, made first.
enum FolderUse { INPUT_FOLDER, INPUT_AND_CURRENT_FOLDER, WRITING_INTO_MOD, NO_FOLDER };

// Takes the locks of the folder of CurrentFileName (and of the current folder, which holds
// "mod", when asked), reads that file and hands its bytes to `write`, which derives its output
// names from CurrentFileName. Fills LastConversion's problem when anything fails; the name is
// then left as it was. Returns what `write` returned, or false when it never ran.
bool ConvertWholeFile(bool (*write)(const uint8_t* bytes, uint32_t size), FolderUse folders);

// A file read whole beside the conversions, and kept while they run (the catalogues an import
// reads): mapped when large on POSIX systems, a copy in memory on Windows. False, with the
// problem reported, when it cannot be read. Another program cutting it short meanwhile makes
// the conversions fail rather than end the process; whether one wrote it in place, as an
// editor saves, FileWrittenInPlace tells.
bool OpenInputFile(const char* name, InputFile* file);
bool FileWrittenInPlace(const InputFile* file, const char* name);
void CloseInputFile(InputFile* file);

// The outputs of a conversion. A dump's side data is the second output, opened after the first.
enum OutputSlot { PRIMARY_OUTPUT, SIDE_DATA_OUTPUT };
// NULL, with the problem reported, when the output cannot be started. With compareExisting, a
// file that stands under finalName is compared with instead of replaced.
OutputFile* OpenOutput(const char* finalName, OutputSlot slot, bool compareExisting);
void WriteOutput(OutputFile* output, const void* bytes, uint32_t count);
// Writes count bytes XORed with the low byte of TEXT_MASK.
void WriteMaskedOutput(OutputFile* output, const uint8_t* bytes, uint32_t count);
// Appends a whole file, read in blocks. LOAD_MISSING: nothing stands under the name; a name
// that holds anything but a readable regular file fails the output, with the problem reported.
enum LoadResult { LOAD_OK, LOAD_MISSING, LOAD_FAILED };
LoadResult AppendFileToOutput(OutputFile* output, const char* name, uint64_t* size);
// Finishes an output: a written one is put in place; a compared one is checked to the end.
// False, leaving the final name as it was, when it failed or the input changed meanwhile.
bool PublishOutput(OutputFile* output);
// Puts a dump and its side data in place together: the old pair or the new pair, whatever
// fails and whenever the process dies. Without new side data (NULL), the side data that stands
// under sideDataName goes with the old dump.
bool PublishPair(OutputFile* dump, OutputFile* sideData, const char* sideDataName);
// Whether a file that an output would leave stale stands under name (never the input).
bool StaleFileStands(const char* name);
// Removes such a file; true when one stood and is gone.
bool RemoveStaleFile(const char* name);
// Removes the temporary file; the final name is left as it was.
void DiscardOutput(OutputFile* output);

// Puts bytes in place under a name, with the lock of its folder held (a catalogue made from
// several files). False, with the problem reported, when they cannot be.
bool PublishBytes(const char* name, const void* bytes, uint64_t size);

// The first bytes, up to capacity, of the file a comparing output is compared with (what an
// existing dump's head says); 0 when there are none or they cannot be read.
uint32_t ReadComparedHead(const OutputFile* output, uint8_t* bytes, uint32_t capacity);

// The first or last bytes, up to capacity, of a regular file (whether an existing dump ends in a
// tail marker), *have of them; none when no file stands. False when they cannot be read.
bool ReadFilePart(const char* name, bool last, uint8_t* bytes, uint32_t capacity, uint32_t* have);

// A whole small file read into memory the caller frees (side data that check looks at).
LoadResult ReadWholeSideFile(const char* name, uint8_t** bytes, uint32_t* size);

// This process's number, and whether the process of a number still runs (one of another user's
// counts as running): a scratch folder named after a process that ended was abandoned.
uint64_t ProcessNumber();
bool ProcessRuns(uint64_t number);

// Creates a folder for outputs; an existing one is not an error.
bool MakeOutputFolder(const char* name);

// Records the first problem of a conversion in LastConversion, with the file it concerns and
// the system's error code.
void ReportProblem(ConversionProblem problem, const char* name);

// XORs count bytes with the low byte of TEXT_MASK from source into target (may be the same).
void MaskBytes(uint8_t* target, const uint8_t* source, uint32_t count);

// ---- Fault seam for tests ----------------------------------------------------------------
// Every open, read, write, rename, removal and lock counts as one operation. When FileFaultAt
// is N > 0, the Nth operation from now fails as the system would fail it, or, with
// FileFaultKills set, ends the process there as a kill would.
extern uint32_t FileFaultAt;
extern uint32_t FileOperationCount;
extern bool FileFaultKills;

#endif
