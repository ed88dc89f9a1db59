// The converters' file layer: what every system shares. The system calls themselves are in
// file_system_posix.cpp and file_system_win32.cpp.
#include "file_io.h"

#include "file_names.h"
#include "file_system.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

uint32_t FileFaultAt;
uint32_t FileOperationCount;
bool FileFaultKills;

// Counts one file operation and tells whether the fault seam wants it to fail.
static bool InjectedFault()
{
    ++FileOperationCount;
    if (FileFaultAt != 0 && FileOperationCount == FileFaultAt) {
        if (FileFaultKills) {
            _Exit(3);
        }
        SystemError = EIO;
        return true;
    }
    return false;
}

void ReportProblem(ConversionProblem problem, const char* name)
{
    if (LastConversion.Problem != PROBLEM_NONE) {
        return;
    }
    LastConversion.Problem = problem;
    LastConversion.SystemError = SystemError;
    snprintf(LastConversion.ProblemFile, sizeof LastConversion.ProblemFile, "%s", name);
}

// ---- Input ---------------------------------------------------------------------------------

static InputFile* CurrentInput;
static uint8_t* InputCopy;

uint8_t* WritableInput()
{
    if (CurrentInput->View == NULL) {
        return CurrentInput->Bytes;
    }
    if (InputCopy == NULL && (InputCopy = (uint8_t*)malloc(CurrentInput->Size)) != NULL) {
        memcpy(InputCopy, CurrentInput->Bytes, CurrentInput->Size);
    }
    if (InputCopy == NULL) {
        SystemError = ENOMEM;
        ReportProblem(PROBLEM_READ_FAILED, CurrentFileName);
    }
    return InputCopy;
}

void ConvertWholeFile(bool (*write)(const uint8_t* bytes, uint32_t size))
{
    memset(&LastConversion, 0, sizeof LastConversion);
    SystemError = 0;
    if (CurrentFileNameLength() < 3) {
        // No extension to replace: the output would take the input's own name.
        ReportProblem(PROBLEM_NAME_UNUSABLE, CurrentFileName);
        return;
    }
    char originalName[FILE_NAME_CAPACITY];
    memcpy(originalName, CurrentFileName, sizeof originalName);
    InputFile input = {};
    input.File = -1; // "no file" for a descriptor and for a HANDLE alike
    ConversionProblem problem =
        InjectedFault() ? PROBLEM_READ_FAILED : SystemOpenInput(CurrentFileName, &input, true);
    bool written = false;
    if (problem != PROBLEM_NONE) {
        ReportProblem(problem, CurrentFileName);
    } else {
        LastConversion.InputSize = input.Size;
        CurrentInput = &input;
        written = write(input.Bytes, input.Size);
        CurrentInput = NULL;
        free(InputCopy);
        InputCopy = NULL;
    }
    SystemCloseInput(&input);
    if (!written) {
        memcpy(CurrentFileName, originalName, sizeof originalName);
    }
}

LoadResult LoadSideFile(const char* name, InputFile* file)
{
    *file = InputFile();
    file->File = -1;
    if (SystemFileSize(name) < 0) {
        return LOAD_MISSING;
    }
    ConversionProblem problem =
        InjectedFault() ? PROBLEM_READ_FAILED : SystemOpenInput(name, file, false);
    if (problem == PROBLEM_NONE) {
        return LOAD_OK;
    }
    ReportProblem(PROBLEM_SIDE_DATA_UNREADABLE, name);
    CloseSideFile(file);
    return LOAD_FAILED;
}

void CloseSideFile(InputFile* file)
{
    SystemCloseInput(file);
}

// ---- Output names ----------------------------------------------------------------------------

// The temporary name of an output: TEMPORARY_PREFIX, the final base name's hash, the kind,
// TEMPORARY_SUFFIX, in the final name's folder. Names that differ only in letter case are one
// file on Windows, so there they hash alike.
static bool BuildTemporaryName(char* name, const char* finalName, const char* kind)
{
    const char* base = BaseNameOf(finalName);
    uint32_t hash = 2166136261u; // FNV-1a
    for (const char* c = base; *c != 0; ++c) {
        uint8_t byte = (uint8_t)*c;
#ifdef _WIN32
        if (byte >= 'A' && byte <= 'Z') {
            byte = (uint8_t)(byte + 'a' - 'A');
        }
#endif
        hash = (hash ^ byte) * 16777619u;
    }
    int length = snprintf(name, PATH_CAPACITY, "%.*s" TEMPORARY_PREFIX "%08x-%s" TEMPORARY_SUFFIX,
                          (int)(base - finalName), finalName, (unsigned)hash, kind);
    return length > 0 && length < PATH_CAPACITY;
}

// The kind of an output: its final name's last three characters, where a separator among
// them must not send the temporary file elsewhere.
static void OutputKind(char* kind, const char* finalName)
{
    size_t length = strlen(finalName);
    for (int k = 0; k < 3; ++k) {
        char c = finalName[length - 3 + k];
        kind[k] =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    }
    kind[3] = 0;
}

// Where a decode keeps the side data that stood beside a dump until the new dump is in place.
// Empty when there was none.
static bool BuildAsideName(char* name, const char* dumpName)
{
    return BuildTemporaryName(name, dumpName, "old");
}

// Puts back the side data that stood beside a dump whose replacement never took its place.
static void RestoreSideData(const char* aside, const char* sideData)
{
    if (SystemFileSize(aside) > 0) {
        SystemReplace(aside, sideData);
    } else {
        SystemRemove(sideData);
        SystemRemove(aside);
    }
}

// A non-empty temporary dump beside an aside file is a dump that a killed decode never
// published: the old side data goes back. Without one, the new pair stands.
static void RecoverAside(const char* dumpName, uint64_t unpublishedDumpSize)
{
    char aside[PATH_CAPACITY];
    if (!BuildAsideName(aside, dumpName) || SystemFileSize(aside) < 0) {
        return;
    }
    if (unpublishedDumpSize > 0) {
        char sideData[PATH_CAPACITY];
        BuildSiblingSideDataName(sideData, dumpName);
        RestoreSideData(aside, sideData);
    } else {
        SystemRemove(aside);
    }
}

// ---- Output ----------------------------------------------------------------------------------

// One staging area per output that can be open at once, allocated once for the run.
static uint8_t* StagingAreas[2];
static bool StagingTaken[2];

static uint8_t* TakeStaging()
{
    for (int k = 0; k < 2; ++k) {
        if (!StagingTaken[k]) {
            if (StagingAreas[k] == NULL) {
                StagingAreas[k] = (uint8_t*)malloc(OUTPUT_STAGING_CAPACITY);
            }
            if (StagingAreas[k] != NULL) {
                StagingTaken[k] = true;
            }
            return StagingAreas[k];
        }
    }
    return NULL;
}

static void GiveBackStaging(uint8_t* staging)
{
    for (int k = 0; k < 2; ++k) {
        if (staging != NULL && StagingAreas[k] == staging) {
            StagingTaken[k] = false;
        }
    }
}

static bool TakeTemporaryFile(OutputFile* output, uint64_t* priorSize)
{
    if (InjectedFault() || !SystemTakeFile(output->TemporaryName, &output->File, priorSize)) {
        ReportProblem(SystemError == EEXIST ? PROBLEM_OUTPUT_IS_INPUT : PROBLEM_CANNOT_CREATE,
                      output->TemporaryName);
        return false;
    }
    output->Taken = true;
    return true;
}

bool OpenOutput(OutputFile* output, const char* finalName)
{
    output->Taken = false;
    output->Failed = true;
    output->Staged = 0;
    output->Staging = NULL;
    size_t length = strlen(finalName);
    char kind[4];
    if (length < 3 || length >= PATH_CAPACITY) {
        ReportProblem(PROBLEM_NAME_UNUSABLE, finalName);
        return false;
    }
    memcpy(output->FinalName, finalName, length + 1);
    OutputKind(kind, finalName);
    if (!BuildTemporaryName(output->TemporaryName, finalName, kind)) {
        ReportProblem(PROBLEM_NAME_UNUSABLE, finalName);
        return false;
    }
    if (SystemIsInput(finalName)) {
        ReportProblem(PROBLEM_OUTPUT_IS_INPUT, finalName);
        return false;
    }
    uint64_t priorSize = 0;
    if (!TakeTemporaryFile(output, &priorSize)) {
        return false;
    }
    // What a killed conversion left under this name is this output's own, now taken over.
    RecoverAside(finalName, priorSize);
    if (priorSize != 0 && (InjectedFault() || !SystemTruncate(output->File))) {
        ReportProblem(PROBLEM_WRITE_FAILED, output->TemporaryName);
        DiscardOutput(output);
        return false;
    }
    output->Staging = TakeStaging();
    if (output->Staging == NULL) {
        SystemError = ENOMEM;
        ReportProblem(PROBLEM_WRITE_FAILED, finalName);
        DiscardOutput(output);
        return false;
    }
    output->Failed = false;
    return true;
}

static void WriteThrough(OutputFile* output, const void* bytes, uint32_t count)
{
    if (!output->Failed && (InjectedFault() || !SystemWrite(output->File, bytes, count))) {
        ReportProblem(PROBLEM_WRITE_FAILED, output->FinalName);
        output->Failed = true;
    }
}

static void FlushStaging(OutputFile* output)
{
    if (output->Staged != 0) {
        WriteThrough(output, output->Staging, output->Staged);
    }
    output->Staged = 0;
}

void WriteOutput(OutputFile* output, const void* bytes, uint32_t count)
{
    if (output->Failed) {
        return;
    }
    if (count > OUTPUT_STAGING_CAPACITY - output->Staged) {
        FlushStaging(output);
        // A block larger than the staging area goes straight to the file.
        if (count >= OUTPUT_STAGING_CAPACITY) {
            WriteThrough(output, bytes, count);
            return;
        }
    }
    memcpy(output->Staging + output->Staged, bytes, count);
    output->Staged += count;
}

void WriteMaskedOutput(OutputFile* output, const uint8_t* bytes, uint32_t count)
{
    while (count != 0 && !output->Failed) {
        if (output->Staged == OUTPUT_STAGING_CAPACITY) {
            FlushStaging(output);
        }
        uint32_t room = OUTPUT_STAGING_CAPACITY - output->Staged;
        uint32_t chunk = count < room ? count : room;
        MaskBytes(output->Staging + output->Staged, bytes, chunk);
        output->Staged += chunk;
        bytes += chunk;
        count -= chunk;
    }
}

// Lets go of the temporary file and the staging area; the file itself stays where it is.
static void ReleaseOutput(OutputFile* output)
{
    GiveBackStaging(output->Staging);
    output->Staging = NULL;
    if (output->Taken) {
        SystemRelease(output->File);
        output->Taken = false;
    }
}

void DiscardOutput(OutputFile* output)
{
    if (output->Taken) {
        // Removed while still taken, so no other conversion can take it halfway.
        SystemRemove(output->TemporaryName);
    }
    ReleaseOutput(output);
    output->Failed = true;
}

// Renames the finished temporary file over the final name; the file stays taken until then.
static bool PutInPlace(OutputFile* output)
{
    if (InjectedFault() || !SystemReplace(output->TemporaryName, output->FinalName)) {
        ReportProblem(PROBLEM_CANNOT_REPLACE, output->FinalName);
        return false;
    }
    return true;
}

bool PublishOutput(OutputFile* output)
{
    FlushStaging(output);
    if (output->Failed || !PutInPlace(output)) {
        DiscardOutput(output);
        return false;
    }
    ReleaseOutput(output);
    return true;
}

// Sets the side data that stands beside the dump now aside, under the aside name, or leaves
// an empty aside file when there is none.
static bool SetSideDataAside(const char* sideData, const char* aside)
{
    if (SystemIsInput(aside)) {
        ReportProblem(PROBLEM_OUTPUT_IS_INPUT, aside);
        return false;
    }
    bool ok;
    if (SystemFileSize(sideData) >= 0) {
        ok = !InjectedFault() && SystemReplace(sideData, aside);
    } else {
        SystemFile marker;
        uint64_t priorSize;
        ok = !InjectedFault() && SystemTakeFile(aside, &marker, &priorSize);
        if (ok) {
            SystemRelease(marker);
        }
    }
    if (!ok) {
        ReportProblem(PROBLEM_CANNOT_REPLACE, sideData);
    }
    return ok;
}

bool PublishPair(OutputFile* dump, OutputFile* sideData)
{
    FlushStaging(dump);
    FlushStaging(sideData);
    char aside[PATH_CAPACITY];
    bool ok = !dump->Failed && !sideData->Failed && BuildAsideName(aside, dump->FinalName);
    // The dump's temporary file stays taken throughout: while it exists, the old side data
    // is the one that belongs, and a conversion that finds it left behind puts it back.
    ok = ok && SetSideDataAside(sideData->FinalName, aside);
    if (ok && !PutInPlace(sideData)) {
        RestoreSideData(aside, sideData->FinalName);
        ok = false;
    }
    if (ok && !PutInPlace(dump)) {
        // Windows cannot replace a file that is still open, even one open for deletion.
        ReleaseOutput(sideData);
        RestoreSideData(aside, sideData->FinalName);
        ok = false;
    }
    if (!ok) {
        DiscardOutput(dump);
        DiscardOutput(sideData);
        return false;
    }
    SystemRemove(aside);
    ReleaseOutput(sideData);
    ReleaseOutput(dump);
    return true;
}

void RecoverInterruptedPair(const char* dumpName)
{
    char aside[PATH_CAPACITY];
    if (strlen(dumpName) < 3 || !BuildAsideName(aside, dumpName) || SystemFileSize(aside) < 0) {
        return;
    }
    // Taking the dump's temporary file waits for a decode still at work on it.
    OutputFile dump;
    char kind[4];
    OutputKind(kind, dumpName);
    uint64_t priorSize = 0;
    if (BuildTemporaryName(dump.TemporaryName, dumpName, kind) &&
        SystemTakeFile(dump.TemporaryName, &dump.File, &priorSize)) {
        RecoverAside(dumpName, priorSize);
        SystemRemove(dump.TemporaryName);
        SystemRelease(dump.File);
    }
}

bool MakeOutputFolder(const char* name)
{
    if (InjectedFault() || !SystemMakeDirectory(name)) {
        ReportProblem(PROBLEM_CANNOT_MAKE_FOLDER, name);
        return false;
    }
    return true;
}

void MaskBytes(uint8_t* target, const uint8_t* source, uint32_t count)
{
    const uint64_t wideMask = 0x0101010101010101ull * (TEXT_MASK & 0xFF);
    uint32_t i = 0;
    // Eight bytes at a time; memcpy keeps it free of alignment and aliasing assumptions.
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        memcpy(&word, source + i, 8);
        word ^= wideMask;
        memcpy(target + i, &word, 8);
    }
    for (; i < count; ++i) {
        target[i] = (uint8_t)(source[i] ^ (TEXT_MASK & 0xFF));
    }
}
