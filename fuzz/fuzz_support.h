// What the fuzz targets share: the check that stops the run when an invariant breaks, so that
// libFuzzer reports the input that broke it, a little-endian read, and a private folder for
// the targets that convert files.
#ifndef QUILLMARSH_FUZZ_FUZZ_SUPPORT_H
#define QUILLMARSH_FUZZ_FUZZ_SUPPORT_H

#include "workspace.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

inline void Require(bool ok, const char* invariant)
{
    if (!ok) {
        fprintf(stderr, "fuzz check failed: %s\n", invariant);
        abort();
    }
}

inline uint32_t LittleEndian(const uint8_t* bytes, int count)
{
    uint32_t value = 0;
    for (int k = count - 1; k >= 0; --k) {
        value = value << 8 | bytes[k];
    }
    return value;
}

inline std::filesystem::path ScratchFolder;

inline void RemoveScratchFolder()
{
    std::filesystem::remove_all(ScratchFolder);
}

// Enters a private folder in RAM on the first call; later calls empty it, so each input starts
// as a fresh run would.
inline void StartInFreshFolder()
{
    char name[] = "/dev/shm/quillmarsh-fuzz-XXXXXX";
    if (ScratchFolder.empty() && mkdtemp(name) != NULL && chdir(name) == 0) {
        ScratchFolder = name;
        atexit(RemoveScratchFolder);
    }
    Require(!ScratchFolder.empty(), "a private folder can be made");
    for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder)) {
        std::filesystem::remove_all(entry.path());
    }
    StoredHeaderByte = StoredLineCount = 0;
}

// The file's bytes, or "<none>" when no file stands under the name.
inline std::string Contents(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
              : "<none>";
}

inline uint32_t FilesInScratchFolder()
{
    uint32_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(ScratchFolder)) {
        files += entry.is_regular_file();
    }
    return files;
}

#endif
