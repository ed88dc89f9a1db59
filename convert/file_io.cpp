// The converters' file layer: what every system shares. The system calls themselves are in
// file_system_posix.cpp and file_system_win32.cpp.
#include "file_io.h"

#include "file_names.h"
#include "file_system.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <unordered_map>

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

void ReportProgress(uint32_t done, uint32_t total, uint32_t* reported)
{
    if (ConversionProgress != NULL && done - *reported >= PROGRESS_STEP) {
        *reported = done;
        ConversionProgress(done, total);
    }
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

// The path of `name` in the folder that `path` names its file in.
static void BesidePath(char* target, const char* path, const char* name)
{
    snprintf(target, PATH_CAPACITY, "%.*s%s", (int)(BaseNameOf(path) - path), path, name);
}

static bool RemoveIfThere(const char* name)
{
    return !InjectedFault() && (SystemRemove(name) || SystemError == ENOENT);
}

// ---- The publish journal --------------------------------------------------------------------
//
// A dump and its side data are published under the folder's lock in these steps:
//   1. both are written to their temporary files, OUTPUT_TEMPORARY and SIDE_DATA_TEMPORARY;
//   2. the journal is written: it names the dump and the side data, and says whether old side
//      data stood there (it is then set aside under OLD_SIDE_DATA_ASIDE);
//   3. the old side data is set aside;
//   4. the new side data is renamed into place;
//   5. the new dump is renamed into place: from here on the new pair stands;
//   6. the old side data, then the journal, are removed.
// A journal found by the next conversion to take the folder's lock is settled before anything
// is read there: while the dump's temporary file still exists, step 5 never happened and the
// old pair is put back; once it is gone, the new pair stands and only the old side data is
// removed. Each step of settling can be repeated, so a settling cut short is settled again.

static const char JOURNAL_MAGIC[] = "quillmarsh publish journal 1\n";

struct Journal {
    char Dump[PATH_CAPACITY]; // base names, in the journal's folder
    char SideData[PATH_CAPACITY];
    bool OldSideDataAside;
};

static bool WriteJournal(const char* name, const Journal* journal)
{
    char text[3 * PATH_CAPACITY];
    int length = snprintf(text, sizeof text, "%s%s%c%s%c%c", JOURNAL_MAGIC, journal->Dump, 0,
                          journal->SideData, 0, journal->OldSideDataAside ? 'A' : '-');
    memcpy(text + length, "\nend\n", 5);
    length += 5;
    SystemFile file;
    if (InjectedFault() || !SystemCreateFile(name, &file)) {
        return false;
    }
    bool written = !InjectedFault() && SystemWrite(file, text, (uint32_t)length);
    return SystemClose(file) && written;
}

// False when the journal cannot be read; *whole is false when it was cut short while written,
// before any rename.
static bool ReadJournal(const char* name, Journal* journal, bool* whole)
{
    char text[3 * PATH_CAPACITY];
    SystemFile file;
    uint64_t size = 0;
    uint32_t got = 0;
    if (InjectedFault() || !SystemOpenFile(name, &file, &size)) {
        return false;
    }
    // A read may hand out fewer bytes than asked for (a network folder, a signal).
    bool read = size < sizeof text && !InjectedFault();
    for (uint32_t more = 1; read && got < size && more != 0; got += more) {
        read = SystemRead(file, text + got, (uint32_t)size - got, &more);
    }
    SystemClose(file);
    if (!read) {
        return size >= sizeof text ? (*whole = false, true) : false;
    }
    text[got] = 0;
    size_t magic = sizeof JOURNAL_MAGIC - 1;
    const char* dump = text + magic;
    const char* end = text + got;
    const char* side = (const char*)memchr(dump, 0, (size_t)(end - dump));
    const char* flag =
        side != NULL ? (const char*)memchr(side + 1, 0, (size_t)(end - side - 1)) : NULL;
    *whole = got > magic && memcmp(text, JOURNAL_MAGIC, magic) == 0 && flag != NULL &&
             end - flag == 7 && (flag[1] == 'A' || flag[1] == '-') &&
             memcmp(flag + 2, "\nend\n", 5) == 0 && side > dump && side - dump < PATH_CAPACITY &&
             flag - side > 1 && flag - side <= PATH_CAPACITY;
    if (*whole) {
        memcpy(journal->Dump, dump, (size_t)(side - dump) + 1);
        memcpy(journal->SideData, side + 1, (size_t)(flag - side));
        journal->OldSideDataAside = flag[1] == 'A';
    }
    return true;
}

// Puts the old side data back (or removes new side data where none stood), then removes what
// the unpublished pair left.
static bool RollBack(const char* prefix, const Journal* journal)
{
    char aside[PATH_CAPACITY];
    char sideData[PATH_CAPACITY];
    char temporary[PATH_CAPACITY];
    snprintf(aside, sizeof aside, "%s" OLD_SIDE_DATA_ASIDE, prefix);
    snprintf(sideData, sizeof sideData, "%s%s", prefix, journal->SideData);
    if (journal->OldSideDataAside) {
        // Not there: the old side data was never moved.
        if (SystemFileKind(aside) == REGULAR_FILE &&
            (InjectedFault() || !SystemReplace(aside, sideData))) {
            return false;
        }
    } else if (!RemoveIfThere(sideData)) {
        return false;
    }
    snprintf(temporary, sizeof temporary, "%s" SIDE_DATA_TEMPORARY, prefix);
    if (!RemoveIfThere(temporary)) {
        return false;
    }
    snprintf(temporary, sizeof temporary, "%s" OUTPUT_TEMPORARY, prefix);
    return RemoveIfThere(temporary);
}

// Removes the temporary files a killed conversion left in the folder named by prefix. The side
// data's temporary file never outlives the dump's, so one look is enough when nothing was left.
// Leftovers that cannot be removed are never written through: a conversion that needs the name
// then fails, saying so.
static void RemoveLeftovers(const char* prefix)
{
    char name[PATH_CAPACITY];
    snprintf(name, sizeof name, "%s" OUTPUT_TEMPORARY, prefix);
    if (SystemRemove(name)) {
        snprintf(name, sizeof name, "%s" SIDE_DATA_TEMPORARY, prefix);
        SystemRemove(name);
    }
}

// Settles a journal and removes the temporary files a killed conversion left in the folder
// named by prefix ("" for the current folder). False when a journal stands that cannot be
// settled: nothing may then be read there.
static bool SettleFolder(const char* prefix)
{
    char journalName[PATH_CAPACITY];
    char name[PATH_CAPACITY];
    snprintf(journalName, sizeof journalName, "%s" PUBLISH_JOURNAL, prefix);
    FileKind kind = SystemFileKind(journalName);
    if (kind != NOTHING_THERE) {
        Journal journal;
        bool whole = false;
        if (kind != REGULAR_FILE || !ReadJournal(journalName, &journal, &whole)) {
            ReportProblem(PROBLEM_CANNOT_SETTLE, journalName);
            return false;
        }
        snprintf(name, sizeof name, "%s" OUTPUT_TEMPORARY, prefix);
        bool published = SystemFileKind(name) == NOTHING_THERE;
        snprintf(name, sizeof name, "%s" OLD_SIDE_DATA_ASIDE, prefix);
        bool settled = !whole || (published ? RemoveIfThere(name) : RollBack(prefix, &journal));
        if (!settled || !RemoveIfThere(journalName)) {
            ReportProblem(PROBLEM_CANNOT_SETTLE, journalName);
            return false;
        }
    }
    RemoveLeftovers(prefix);
    return true;
}

// ---- Folder locks -----------------------------------------------------------------------------

struct HeldFolder {
    FolderLock Lock;
    char Prefix[PATH_CAPACITY]; // the folder's path as written before a file name in it
};

// The input's folder, the current one and its "mod", where a rebuild publishes.
static HeldFolder HeldFolders[3];
static int HeldFolderCount;

static void UnlockFolders()
{
    while (HeldFolderCount > 0) {
        SystemReleaseFolderLock(&HeldFolders[--HeldFolderCount].Lock);
    }
}

// Opens the lock of one more folder, kept in the order of the keys, unless it is one already
// opened under another name. A folder that may be missing is passed over when it is (or is a
// file, or one this user may write in but not read, as a drop folder): what uses it later
// says why it cannot. Any other failure stops the conversion. Where the folder of
// `file` does not stand, neither can the file, and that is said of the file: `missing`.
static bool OpenHeldFolder(int* opened, const char* prefix, bool mayBeMissing,
                           const char* file = NULL, ConversionProblem missing = PROBLEM_NONE)
{
    HeldFolder held;
    snprintf(held.Prefix, sizeof held.Prefix, "%s", prefix);
    const char* folder = prefix[0] != 0 ? prefix : ".";
    if (InjectedFault() || !SystemOpenFolderLock(folder, &held.Lock)) {
        if (mayBeMissing &&
            (SystemError == ENOENT || SystemError == ENOTDIR || SystemError == EACCES)) {
            return true;
        }
        bool absent = file != NULL && (SystemError == ENOENT || SystemError == ENOTDIR);
        ReportProblem(absent ? missing : PROBLEM_CANNOT_LOCK, absent ? file : folder);
        return false;
    }
    for (int k = 0; k < *opened; ++k) {
        if (strcmp(HeldFolders[k].Lock.Key, held.Lock.Key) == 0) {
            SystemReleaseFolderLock(&held.Lock);
            return true;
        }
    }
    int k = (*opened)++;
    for (; k > 0 && strcmp(HeldFolders[k - 1].Lock.Key, held.Lock.Key) > 0; --k) {
        HeldFolders[k] = HeldFolders[k - 1];
    }
    HeldFolders[k] = held;
    return true;
}

// "mod", made by this conversion before its locks were taken.
static bool MadeOutputFolder;

// Takes the lock of the folder that holds `path`; for a rebuild also those of the current
// folder and of its "mod" (a conversion working inside "mod" takes that one alone). Locks are
// taken in the order of their keys, so two conversions never wait for each other; then each
// folder is settled.
static bool LockFolders(const char* path, FolderUse folders, ConversionProblem missing)
{
    bool rebuild = folders == INPUT_AND_CURRENT_FOLDER || folders == WRITING_INTO_MOD;
    char prefix[PATH_CAPACITY];
    snprintf(prefix, sizeof prefix, "%.*s", (int)(BaseNameOf(path) - path), path);
    // Every temporary name, the journal's included, is as long as this one: cut short, one
    // would name another file in the folder.
    if (strlen(prefix) + sizeof OUTPUT_TEMPORARY > PATH_CAPACITY) {
        SystemError = ENAMETOOLONG;
        ReportProblem(PROBLEM_CANNOT_CREATE, path);
        return false;
    }
    int opened = 0;
    bool open = OpenHeldFolder(&opened, prefix, false, path, missing);
    // The usual rebuild works in the dump's own folder, and no conversion can work in a "mod"
    // that does not stand yet.
    open = open && (!rebuild || prefix[0] == 0 || OpenHeldFolder(&opened, "", false));
    int before = opened;
    open = open && (!rebuild || OpenHeldFolder(&opened, OUTPUT_DIRECTORY "/", true));
    // A conversion that writes into a "mod" that is missing makes it now, so that its lock is
    // taken with the others: one taken later, out of their order, could deadlock with a
    // conversion of a file in "mod". Where it cannot be made, what writes there says why.
    if (open && folders == WRITING_INTO_MOD && opened == before && !InjectedFault() &&
        SystemFileKind(OUTPUT_DIRECTORY) == NOTHING_THERE) {
        int error = SystemError;
        MadeOutputFolder = SystemMakeDirectory(OUTPUT_DIRECTORY);
        SystemError = error;
        open = !MadeOutputFolder || OpenHeldFolder(&opened, OUTPUT_DIRECTORY "/", true);
    }
    for (int k = 0; open && k < opened; ++k) {
        open =
            !InjectedFault() && SystemTakeFolderLock(&HeldFolders[k].Lock, HeldFolders[k].Prefix);
        if (!open) {
            ReportProblem(PROBLEM_CANNOT_LOCK,
                          HeldFolders[k].Prefix[0] != 0 ? HeldFolders[k].Prefix : ".");
        }
        HeldFolderCount += open;
    }
    if (!open) {
        for (int k = HeldFolderCount; k < opened; ++k) {
            SystemReleaseFolderLock(&HeldFolders[k].Lock); // opened, not taken
        }
        return false; // the caller lets go of those taken
    }
    for (int k = 0; k < opened; ++k) {
        if (!SettleFolder(HeldFolders[k].Prefix)) {
            return false;
        }
    }
    return true;
}

// ---- Input ----------------------------------------------------------------------------------

static OutputFile Outputs[2];
static uint8_t* StagingAreas[2];
static uint8_t* ComparisonAreas[2];

bool ConvertWholeFile(bool (*write)(const uint8_t* bytes, uint32_t size), FolderUse folders)
{
    memset(&LastConversion, 0, sizeof LastConversion);
    SystemError = 0;
    SystemForgetInputChange();
    if (CurrentFileNameLength() < 3 || IsTemporaryName(CurrentFileName)) {
        // No extension to replace: the output would take the input's own name. Names of the
        // program's own temporary files are not inputs.
        ReportProblem(PROBLEM_NAME_UNUSABLE, CurrentFileName);
        return false;
    }
    char originalName[FILE_NAME_CAPACITY];
    memcpy(originalName, CurrentFileName, sizeof originalName);
    bool written = false;
    if (folders == NO_FOLDER || LockFolders(CurrentFileName, folders, PROBLEM_CANNOT_OPEN)) {
        InputFile input = {};
        input.File = -1; // "no file" for a descriptor and for a HANDLE alike
        ConversionProblem problem =
            InjectedFault() ? PROBLEM_READ_FAILED : SystemOpenInput(CurrentFileName, &input, true);
        if (problem != PROBLEM_NONE) {
            ReportProblem(problem, CurrentFileName);
        } else {
            LastConversion.InputSize = input.Size;
            written = write(input.Bytes, input.Size);
        }
        SystemCloseInput(&input);
    }
    for (OutputFile& output : Outputs) {
        DiscardOutput(&output); // what a failing converter did not finish
    }
    // A "mod" made for a conversion that wrote nothing goes again, unless something came in.
    if (MadeOutputFolder && !written) {
        SystemRemoveEmptyFolder(OUTPUT_DIRECTORY);
    }
    MadeOutputFolder = false;
    UnlockFolders();
    if (!written) {
        memcpy(CurrentFileName, originalName, sizeof originalName);
    }
    return written;
}

bool OpenInputFile(const char* name, InputFile* file)
{
    memset(&LastConversion, 0, sizeof LastConversion);
    *file = InputFile();
    file->File = -1;
    ConversionProblem problem =
        InjectedFault() ? PROBLEM_READ_FAILED : SystemOpenInput(name, file, false);
    if (problem != PROBLEM_NONE) {
        ReportProblem(problem, name);
        SystemCloseInput(file);
        return false;
    }
    return true;
}

bool FileWrittenInPlace(const InputFile* file, const char* name)
{
    return SystemWrittenInPlace(file, name);
}

void CloseInputFile(InputFile* file)
{
    SystemCloseInput(file);
}

uint32_t ReadComparedHead(const OutputFile* output, uint8_t* bytes, uint32_t capacity)
{
    SystemFile file;
    uint64_t size = 0;
    uint32_t have = 0;
    uint32_t got = 1;
    if (!output->Comparing || !SystemOpenFile(output->FinalName, &file, &size)) {
        return 0;
    }
    while (have < capacity && got != 0 && SystemRead(file, bytes + have, capacity - have, &got)) {
        have += got;
    }
    SystemClose(file);
    return have;
}

bool ReadFilePart(const char* name, bool last, uint8_t* bytes, uint32_t capacity, uint32_t* have)
{
    SystemFile file;
    uint64_t size = 0;
    *have = 0;
    if (InjectedFault() || !SystemOpenFile(name, &file, &size)) {
        return SystemError == ENOENT; // no file, no bytes
    }
    uint32_t want = size > capacity ? capacity : (uint32_t)size;
    uint32_t got = 1;
    bool read = SystemSeek(file, last ? size - want : 0);
    while (read && *have < want && got != 0) {
        read = SystemRead(file, bytes + *have, want - *have, &got);
        *have += got;
    }
    SystemClose(file);
    return read;
}

LoadResult ReadWholeSideFile(const char* name, uint8_t** bytes, uint32_t* size)
{
    *bytes = NULL;
    *size = 0;
    FileKind kind = SystemFileKind(name);
    if (kind == NOTHING_THERE) {
        return LOAD_MISSING;
    }
    SystemFile file;
    uint64_t length = 0;
    uint32_t got = 0;
    bool read = kind == REGULAR_FILE && SystemOpenFile(name, &file, &length);
    if (read) {
        *bytes = (uint8_t*)malloc(length != 0 ? length : 1);
        for (read = *bytes != NULL && length < 0xFFFFFFFFu; read && *size < length; *size += got) {
            read = SystemRead(file, *bytes + *size, (uint32_t)(length - *size), &got) && got != 0;
        }
        SystemClose(file);
    }
    if (!read) {
        free(*bytes);
        *bytes = NULL;
        return LOAD_FAILED;
    }
    return LOAD_OK;
}

// ---- Output ---------------------------------------------------------------------------------

OutputFile* OpenOutput(const char* finalName, OutputSlot slot, bool compareExisting)
{
    OutputFile* output = &Outputs[slot];
    DiscardOutput(output);
    memset(output, 0, sizeof *output);
    output->Failed = true;
    size_t length = strlen(finalName);
    if (length == 0 || length >= PATH_CAPACITY) {
        ReportProblem(PROBLEM_NAME_UNUSABLE, finalName);
        return NULL;
    }
    memcpy(output->FinalName, finalName, length + 1);
    // Side data written beside a dump that is only compared takes the dump's temporary name,
    // which no file holds then: a kill leaves it where the next conversion's one look for
    // leftovers finds it.
    const OutputFile* dump = &Outputs[PRIMARY_OUTPUT];
    bool alone = slot == PRIMARY_OUTPUT || (dump->Taken && dump->Comparing);
    BesidePath(output->TemporaryName, finalName, alone ? OUTPUT_TEMPORARY : SIDE_DATA_TEMPORARY);
    // (The temporary names are never an input's: such names are refused as inputs.)
    if (SystemIsInput(finalName)) {
        ReportProblem(PROBLEM_OUTPUT_IS_INPUT, finalName);
        return NULL;
    }
    // A folder, a pipe or a device (such as /dev/null named by habit) is never replaced by
    // a file.
    uint32_t permissions = 0;
    FileKind standing = SystemFileKind(finalName, &permissions);
    if (standing == OTHER_KIND) {
        ReportProblem(PROBLEM_CANNOT_REPLACE, finalName);
        return NULL;
    }
    uint8_t** buffers[2] = {&StagingAreas[slot], &ComparisonAreas[slot]};
    output->Comparing = compareExisting && standing == REGULAR_FILE;
    for (int k = 0; k < (output->Comparing ? 2 : 1); ++k) {
        if (*buffers[k] == NULL &&
            (*buffers[k] = (uint8_t*)malloc(OUTPUT_STAGING_CAPACITY)) == NULL) {
            SystemError = ENOMEM;
            ReportProblem(PROBLEM_WRITE_FAILED, finalName);
            return NULL;
        }
    }
    output->Staging = StagingAreas[slot];
    output->Compared = ComparisonAreas[slot];
    uint64_t size = 0;
    bool opened = !InjectedFault() &&
                  (output->Comparing ? SystemOpenFile(finalName, &output->File, &size)
                                     : SystemCreateFile(output->TemporaryName, &output->File));
    if (!opened) {
        ReportProblem(output->Comparing ? PROBLEM_READ_FAILED : PROBLEM_CANNOT_CREATE, finalName);
        return NULL;
    }
    if (standing == REGULAR_FILE && !output->Comparing) {
        SystemKeepPermissions(output->File, permissions);
    }
    output->Taken = true;
    output->Failed = false;
    return output;
}

// Notes that the output differs from the compared file from byte `at` on.
static void MarkDifferent(OutputFile* output, uint64_t at)
{
    if (!output->Differs) {
        output->Differs = true;
        output->FirstDifference = at;
    }
}

// Compares count produced bytes with the compared file's next bytes.
static void CompareThrough(OutputFile* output, const uint8_t* bytes, uint32_t count)
{
    uint32_t have = 0;
    uint32_t got = 1;
    while (!output->Differs && have < count && got != 0) {
        if (InjectedFault() ||
            !SystemRead(output->File, output->Compared + have, count - have, &got)) {
            ReportProblem(PROBLEM_READ_FAILED, output->FinalName);
            output->Failed = true;
            return;
        }
        have += got;
    }
    if (!output->Differs && (have < count || memcmp(output->Compared, bytes, count) != 0)) {
        uint32_t same = 0;
        while (same < have && output->Compared[same] == bytes[same]) {
            ++same;
        }
        MarkDifferent(output, output->Produced + same);
    }
}

static void WriteThrough(OutputFile* output, const uint8_t* bytes, uint32_t count)
{
    if (output->Failed) {
        return;
    }
    if (output->Comparing) {
        CompareThrough(output, bytes, count);
    } else if (InjectedFault() || !SystemWrite(output->File, bytes, count)) {
        // A write straight from an input that another program cut short fails too.
        bool cut = SystemInputChanged();
        ReportProblem(cut ? PROBLEM_INPUT_CHANGED : PROBLEM_WRITE_FAILED,
                      cut ? CurrentFileName : output->FinalName);
        output->Failed = true;
    }
    output->Produced += count;
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
        // A block larger than the staging area goes straight through.
        while (count >= OUTPUT_STAGING_CAPACITY) {
            WriteThrough(output, (const uint8_t*)bytes, OUTPUT_STAGING_CAPACITY);
            bytes = (const uint8_t*)bytes + OUTPUT_STAGING_CAPACITY;
            count -= OUTPUT_STAGING_CAPACITY;
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

LoadResult AppendFileToOutput(OutputFile* output, const char* name, uint64_t* size)
{
    *size = 0;
    FileKind kind = SystemFileKind(name);
    if (kind == NOTHING_THERE) {
        return LOAD_MISSING;
    }
    SystemFile file;
    uint64_t length = 0;
    if (kind != REGULAR_FILE || InjectedFault() || !SystemOpenFile(name, &file, &length)) {
        if (kind == OTHER_KIND) {
            SystemError = EINVAL;
        }
        ReportProblem(PROBLEM_SIDE_DATA_UNREADABLE, name);
        output->Failed = true;
        return LOAD_FAILED;
    }
    // No speech file reaches 4 GiB less one byte: a reader could not take it.
    if (output->Produced + output->Staged + length >= UINT32_MAX) {
        SystemClose(file);
        SystemError = EFBIG;
        ReportProblem(PROBLEM_SIDE_DATA_UNREADABLE, name);
        output->Failed = true;
        return LOAD_FAILED;
    }
    uint32_t got = 1;
    while (!output->Failed && got != 0) {
        if (output->Staged == OUTPUT_STAGING_CAPACITY) {
            FlushStaging(output);
        }
        if (InjectedFault() || !SystemRead(file, output->Staging + output->Staged,
                                           OUTPUT_STAGING_CAPACITY - output->Staged, &got)) {
            ReportProblem(PROBLEM_SIDE_DATA_UNREADABLE, name);
            output->Failed = true;
        } else {
            output->Staged += got;
            *size += got;
        }
    }
    SystemClose(file);
    if (!output->Failed && *size != length) {
        ReportProblem(PROBLEM_SIDE_DATA_CHANGED, name);
        output->Failed = true;
    }
    return output->Failed ? LOAD_FAILED : LOAD_OK;
}

// Lets go of the temporary file (or the compared one); the file itself stays where it is.
// False when closing it failed, which for a written file means its bytes may not be there.
static bool ReleaseOutput(OutputFile* output)
{
    bool closed = true;
    if (output->Taken && output->File != -1) {
        closed = SystemClose(output->File) && !InjectedFault();
        output->File = -1; // a failed publication discards it later: closed once
    }
    output->Taken = false;
    return closed;
}

void DiscardOutput(OutputFile* output)
{
    bool written = output->Taken && !output->Comparing;
    ReleaseOutput(output);
    if (written) {
        SystemRemove(output->TemporaryName);
    }
    output->Failed = true;
}

// Everything produced has reached the file (or been compared), and the input stood still.
static bool Finished(OutputFile* output)
{
    FlushStaging(output);
    if (!output->Failed && SystemInputChanged()) {
        ReportProblem(PROBLEM_INPUT_CHANGED, CurrentFileName);
        output->Failed = true;
    }
    if (!output->Failed && output->Comparing && !output->Differs) {
        uint8_t extra;
        uint32_t got = 0;
        if (InjectedFault() || !SystemRead(output->File, &extra, 1, &got)) {
            ReportProblem(PROBLEM_READ_FAILED, output->FinalName);
            output->Failed = true;
        } else if (got != 0) {
            MarkDifferent(output, output->Produced);
        }
    }
    return !output->Failed;
}

// Renames from over to; a failure names the file the user knows: to, or from when it goes
// aside under one of this program's temporary names.
static bool PutInPlace(const char* from, const char* to)
{
    if (InjectedFault() || !SystemReplace(from, to)) {
        ReportProblem(PROBLEM_CANNOT_REPLACE, IsTemporaryName(to) ? from : to);
        return false;
    }
    return true;
}

bool PublishOutput(OutputFile* output)
{
    bool finished = Finished(output);
    bool comparing = output->Comparing;
    // Windows renames only files nobody holds open.
    if (!ReleaseOutput(output) && finished && !comparing) {
        ReportProblem(PROBLEM_WRITE_FAILED, output->FinalName);
        finished = false;
    }
    if (!finished || (!comparing && !PutInPlace(output->TemporaryName, output->FinalName))) {
        output->Taken = !comparing;
        DiscardOutput(output);
        return false;
    }
    output->Failed = true;
    return true;
}

bool PublishPair(OutputFile* dump, OutputFile* sideData, const char* sideDataName)
{
    bool finished = Finished(dump) && (sideData == NULL || Finished(sideData));
    bool dumpClosed = ReleaseOutput(dump);
    bool sideDataClosed = sideData == NULL || ReleaseOutput(sideData);
    if (finished && !(dumpClosed && sideDataClosed)) {
        ReportProblem(PROBLEM_WRITE_FAILED, dumpClosed ? sideDataName : dump->FinalName);
        finished = false;
    }
    dump->Taken = true; // the temporary files are still there
    if (sideData != NULL) {
        sideData->Taken = true;
    }
    char prefix[PATH_CAPACITY];
    char journalName[PATH_CAPACITY];
    char aside[PATH_CAPACITY];
    snprintf(prefix, sizeof prefix, "%.*s", (int)(BaseNameOf(dump->FinalName) - dump->FinalName),
             dump->FinalName);
    BesidePath(journalName, dump->FinalName, PUBLISH_JOURNAL);
    BesidePath(aside, dump->FinalName, OLD_SIDE_DATA_ASIDE);
    Journal journal;
    snprintf(journal.Dump, sizeof journal.Dump, "%s", BaseNameOf(dump->FinalName));
    snprintf(journal.SideData, sizeof journal.SideData, "%s", BaseNameOf(sideDataName));
    FileKind old = SystemFileKind(sideDataName);
    journal.OldSideDataAside = old == REGULAR_FILE;
    if (finished && old != NOTHING_THERE && old != REGULAR_FILE) {
        ReportProblem(PROBLEM_CANNOT_REPLACE, sideDataName);
        finished = false;
    }
    if (finished && !WriteJournal(journalName, &journal)) {
        ReportProblem(PROBLEM_WRITE_FAILED, sideDataName);
        RemoveIfThere(journalName);
        finished = false;
    }
    if (!finished || (journal.OldSideDataAside && !PutInPlace(sideDataName, aside))) {
        if (finished) {
            RemoveIfThere(journalName); // nothing was moved yet
        }
        if (sideData != NULL) {
            DiscardOutput(sideData);
        }
        DiscardOutput(dump);
        return false;
    }
    if ((sideData != NULL && !PutInPlace(sideData->TemporaryName, sideDataName)) ||
        !PutInPlace(dump->TemporaryName, dump->FinalName)) {
        // The old pair goes back; if even that fails, the journal stays for the next conversion
        // in this folder to settle.
        if (RollBack(prefix, &journal)) {
            RemoveIfThere(journalName);
        }
        dump->Taken = false;
        if (sideData != NULL) {
            sideData->Taken = false;
        }
        return false;
    }
    // The new pair stands; what remains is tidying that the next conversion would finish.
    dump->Taken = false;
    dump->Failed = true;
    if (sideData != NULL) {
        sideData->Taken = false;
        sideData->Failed = true;
    }
    if (!journal.OldSideDataAside || RemoveIfThere(aside)) {
        RemoveIfThere(journalName);
    }
    return true;
}

// Each folder listed for names with a stale file's ending, by its lock's key and that ending,
// and whether it held any: a batch in a folder without them then makes no look for each file
// (on tmpfs a look for a name that is not there costs as much as a small file's read). A batch
// may go back and forth between folders ("a/1.spc b/1.spc a/2.spc ..."): each is listed once.
static std::unordered_map<std::string, bool> ListedFolders;

bool StaleFileStands(const char* name)
{
    // A decode holds the one lock of the folder it writes in.
    const char* key = HeldFolderCount == 1 ? HeldFolders[0].Lock.Key : "";
    size_t length = strlen(name);
    bool mayHold = true;
    if (length >= 3) {
        std::string listed = std::string(key) + '\n' + (name + length - 3);
        auto found = key[0] != 0 ? ListedFolders.find(listed) : ListedFolders.end();
        if (found != ListedFolders.end()) {
            mayHold = found->second;
        } else {
            char prefix[PATH_CAPACITY];
            snprintf(prefix, sizeof prefix, "%.*s", (int)(BaseNameOf(name) - name), name);
            mayHold = SystemFolderMayHold(prefix, name + length - 3);
            if (key[0] != 0) {
                ListedFolders.emplace(listed, mayHold);
            }
        }
    }
    return mayHold && SystemFileKind(name) == REGULAR_FILE && !SystemIsInput(name);
}

bool RemoveStaleFile(const char* name)
{
    return StaleFileStands(name) && !InjectedFault() && SystemRemove(name);
}

bool PublishBytes(const char* name, const void* bytes, uint64_t size)
{
    memset(&LastConversion, 0, sizeof LastConversion);
    bool published = false;
    if (LockFolders(name, INPUT_FOLDER, PROBLEM_CANNOT_CREATE)) {
        OutputFile* output = OpenOutput(name, PRIMARY_OUTPUT, false);
        for (uint64_t done = 0; output != NULL && done < size; done += OUTPUT_STAGING_CAPACITY) {
            uint64_t left = size - done;
            uint64_t most = OUTPUT_STAGING_CAPACITY;
            WriteOutput(output, (const uint8_t*)bytes + done,
                        (uint32_t)(left < most ? left : most));
        }
        published = output != NULL && PublishOutput(output);
    }
    UnlockFolders();
    return published;
}

uint64_t ProcessNumber()
{
    return SystemProcessId();
}

bool ProcessRuns(uint64_t number)
{
    return SystemProcessRuns(number);
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
