// The converters' file layer over C stdio.
#include "file_io.h"

#include "file_names.h"
#include "workspace.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

uint32_t FileFaultAt;
uint32_t FileOperationCount;

// Counts one file operation and tells whether the fault seam wants it to fail.
static bool InjectedFault()
{
    ++FileOperationCount;
    if (FileFaultAt != 0 && FileOperationCount == FileFaultAt) {
        errno = EIO;
        return true;
    }
    return false;
}

static FILE* OpenFile(const char* name, const char* mode)
{
    if (InjectedFault()) {
        return NULL;
    }
    FILE* handle = fopen(name, mode);
    if (handle != NULL) {
        // Reads are whole-file and writes are staged here, so stdio's own buffer would only
        // add a copy and extra system calls.
        setvbuf(handle, NULL, _IONBF, 0);
    }
    return handle;
}

static bool CloseFile(FILE* handle)
{
    bool injected = InjectedFault();
    // The handle is closed even when the seam fails the call, so nothing leaks.
    bool closed = fclose(handle) == 0;
    return closed && !injected;
}

static bool RenameFile(const char* from, const char* to)
{
    if (InjectedFault()) {
        return false;
    }
    return rename(from, to) == 0;
}

static bool WriteFile(FILE* handle, const void* bytes, size_t count)
{
    if (InjectedFault()) {
        return false;
    }
    return fwrite(bytes, 1, count, handle) == count;
}

// Sizes of 4 GiB and more do not fit the format's 32-bit positions and are refused,
// as is anything the system cannot tell the size of (a directory, a pipe).
static bool QuerySize(FILE* handle, uint32_t* size)
{
    if (InjectedFault() || fseek(handle, 0, SEEK_END) != 0) {
        return false;
    }
    long end = ftell(handle);
    if (end < 0 || (unsigned long)end > 0xFFFFFFFEul || fseek(handle, 0, SEEK_SET) != 0) {
        return false;
    }
    *size = (uint32_t)end;
    return true;
}

LoadResult LoadWholeFile(const char* name, LoadedFile* file)
{
    file->Bytes = NULL;
    file->Size = 0;
    errno = 0;
    FILE* handle = OpenFile(name, "rb");
    if (handle == NULL) {
        return errno == ENOENT ? LOAD_MISSING : LOAD_FAILED;
    }
    uint32_t size = 0;
    bool ok = QuerySize(handle, &size);
    uint8_t* bytes = ok ? (uint8_t*)malloc(size ? size : 1) : NULL;
    ok = bytes != NULL;
    if (ok) {
        ok = !InjectedFault() && fread(bytes, 1, size, handle) == size;
    }
    ok = CloseFile(handle) && ok;
    if (!ok) {
        free(bytes);
        return LOAD_FAILED;
    }
    file->Bytes = bytes;
    file->Size = size;
    return LOAD_OK;
}

void ConvertWholeFile(bool (*write)(uint8_t* bytes, uint32_t size))
{
    if (CurrentFileNameLength() < 3) {
        return;
    }
    char originalName[FILE_NAME_CAPACITY];
    memcpy(originalName, CurrentFileName, sizeof originalName);
    // The input is read whole before any output exists, so an input that bears its output's
    // name is never truncated before it is read.
    LoadedFile input;
    if (LoadWholeFile(CurrentFileName, &input) != LOAD_OK) {
        return;
    }
    bool written = write(input.Bytes, input.Size);
    FreeLoadedFile(&input);
    if (!written) {
        memcpy(CurrentFileName, originalName, sizeof originalName);
    }
}

void FreeLoadedFile(LoadedFile* file)
{
    free(file->Bytes);
    file->Bytes = NULL;
    file->Size = 0;
}

bool OpenOutput(OutputFile* output, const char* finalName)
{
    output->Handle = NULL;
    output->Failed = true;
    output->Staged = 0;
    output->Staging = NULL;
    output->FinalName[0] = 0;
    output->TemporaryName[0] = 0;
    size_t length = strlen(finalName);
    size_t folder = (size_t)(BaseNameOf(finalName) - finalName);
    if (length < 3 || length >= PATH_CAPACITY ||
        folder + sizeof(TEMPORARY_PREFIX TEMPORARY_SUFFIX) + 3 > PATH_CAPACITY) {
        return false;
    }
    memcpy(output->FinalName, finalName, length + 1);
    char kind[4];
    for (int k = 0; k < 3; ++k) {
        // A separator among the last three characters must not send the file elsewhere.
        char c = finalName[length - 3 + k];
        kind[k] =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
    }
    kind[3] = 0;
    snprintf(output->TemporaryName, PATH_CAPACITY, "%.*s" TEMPORARY_PREFIX "%s" TEMPORARY_SUFFIX,
             (int)folder, finalName, kind);
    output->Staging = (uint8_t*)malloc(OUTPUT_STAGING_CAPACITY);
    if (output->Staging == NULL) {
        return false;
    }
    output->Handle = OpenFile(output->TemporaryName, "wb");
    if (output->Handle == NULL) {
        free(output->Staging);
        output->Staging = NULL;
        return false;
    }
    output->Failed = false;
    return true;
}

static void FlushStaging(OutputFile* output)
{
    if (output->Staged != 0 && !output->Failed) {
        output->Failed = !WriteFile(output->Handle, output->Staging, output->Staged);
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
            output->Failed = output->Failed || !WriteFile(output->Handle, bytes, count);
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

// Replaces the final name with the finished temporary file. POSIX rename replaces an
// existing file at once; the Windows C runtime refuses to, so there an existing file (never
// a directory) is first moved aside and put back if the new one cannot take its place.
static bool ReplaceFinalName(OutputFile* output)
{
    if (RenameFile(output->TemporaryName, output->FinalName)) {
        return true;
    }
#ifdef _WIN32
    FILE* existing = fopen(output->FinalName, "rb");
    if (existing == NULL) {
        return false;
    }
    fclose(existing);
    char asideName[PATH_CAPACITY];
    size_t temporaryLength = strlen(output->TemporaryName);
    memcpy(asideName, output->TemporaryName, temporaryLength + 1);
    memcpy(asideName + temporaryLength - 3, "old", 3);
    if (!RenameFile(output->FinalName, asideName)) {
        return false;
    }
    if (RenameFile(output->TemporaryName, output->FinalName)) {
        remove(asideName);
        return true;
    }
    rename(asideName, output->FinalName);
#endif
    return false;
}

bool FinishOutput(OutputFile* output)
{
    FlushStaging(output);
    free(output->Staging);
    output->Staging = NULL;
    bool ok = !output->Failed;
    if (ok) {
        ok = !InjectedFault() && fflush(output->Handle) == 0;
    }
    ok = CloseFile(output->Handle) && ok;
    output->Handle = NULL;
    if (!ok) {
        remove(output->TemporaryName);
    }
    output->Failed = !ok;
    return ok;
}

bool PublishOutput(OutputFile* output)
{
    if (output->Failed) {
        return false;
    }
    if (!ReplaceFinalName(output)) {
        remove(output->TemporaryName);
        output->Failed = true;
        return false;
    }
    return true;
}

bool CommitOutput(OutputFile* output)
{
    return FinishOutput(output) && PublishOutput(output);
}

void DiscardOutput(OutputFile* output)
{
    free(output->Staging);
    output->Staging = NULL;
    if (output->Handle != NULL) {
        fclose(output->Handle);
        output->Handle = NULL;
    }
    // A finished but unpublished temporary file goes too.
    remove(output->TemporaryName);
    output->Failed = true;
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
