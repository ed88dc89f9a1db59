// What the fuzz targets share: the check that stops the run when an invariant breaks, so that
// libFuzzer reports the input that broke it, and a little-endian read.
#ifndef QUILLMARSH_FUZZ_FUZZ_SUPPORT_H
#define QUILLMARSH_FUZZ_FUZZ_SUPPORT_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

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

#endif
