// What the fuzz targets share: a private working directory in RAM, whole-file reads and
// writes in it, and the check that stops the run when an invariant breaks.
#ifndef QUILLMARSH_FUZZ_FUZZ_SUPPORT_H
#define QUILLMARSH_FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Makes a fresh directory (in /dev/shm when there is one) the current directory on the first
// call and keeps it for the run; it is removed at exit. Paths given to the fuzz targets are
// made absolute first (LLVMFuzzerInitialize, and the replayer's main).
void EnterScratchDirectory();

// Starts one input as a fresh run would: no files from the last input, the values the
// header scan keeps cleared, and CurrentFileName set to name.
void StartConversion(const char* name);

void WriteWholeFile(const char* name, const std::string& bytes);
// False when no readable file stands under the name.
bool ReadWholeFile(const char* name, std::string* bytes);
bool FileExists(const char* name);
// Files in the working directory and in "mod": a temporary output left behind, or any
// other stray file, shows up here.
uint32_t FileCount();

uint32_t LittleEndian(const uint8_t* bytes, int count);

// Aborts with the broken invariant when ok is false, so that libFuzzer (or the replayer)
// reports the input that broke it.
void Require(bool ok, const char* invariant);

#endif
