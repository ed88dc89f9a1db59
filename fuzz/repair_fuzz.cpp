// Arbitrary bytes through the repair pass, on a heap copy of exactly their size so that the
// sanitizer sees any access past the end. What comes out is what went in with some blanks
// dropped and some "N" lowered to "n", never anything else: no byte lost, doubled or moved.
// (Which blanks, and which "N", the repair table in the tests pins down.)
#include "fuzz_support.h"
#include "workspace.h"

#include <stdlib.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t* buffer = (uint8_t*)malloc(size);
    Require(size == 0 || buffer != NULL, "room for the copy");
    if (size != 0) {
        memcpy(buffer, data, size);
    }
    uint32_t length = RepairSpacedDump(buffer, (uint32_t)size);
    Require(length <= size, "the repaired dump is never longer than the input");
    size_t in = 0;
    for (uint32_t out = 0; out < length; ++out, ++in) {
        while (in < size && data[in] == ' ' && buffer[out] != ' ') {
            ++in; // a dropped blank
        }
        Require(in < size && (buffer[out] == data[in] || (buffer[out] == 'n' && data[in] == 'N')),
                "each byte out is the next byte in, but for dropped blanks and a lowered N");
    }
    while (in < size) {
        Require(data[in++] == ' ', "only blanks are dropped");
    }
    free(buffer);
    return 0;
}
