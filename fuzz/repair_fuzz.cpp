// Arbitrary bytes through the repair pass, on a heap copy of exactly their size so that the
// sanitizer sees any access past the end. The result is never longer than the input and
// matches a second, deliberately literal rendering of the same steps.
#include "fuzz_support.h"
#include "workspace.h"

#include <stdlib.h>
#include <string.h>

// The pass written as plainly as it can be: one step per input byte, the four tests in
// order, each on the position the tests before it left, then the tag case fix.
static uint32_t ReferenceRepair(const uint8_t* in, uint32_t size, uint8_t* out)
{
    uint32_t i = 0;
    uint32_t j = 0;
    while (i < size) {
        if (in[i] != ' ') {
            out[j] = in[i];
        }
        if (in[i] == ' ' && i > 0 && i + 1 < size) {
            if (in[i - 1] == ']' || in[i + 1] == '[') {
                out[j] = in[i + 1];
                i += 1;
            } else {
                out[j] = in[i];
            }
        }
        if (in[i] == ':' && i > 0 && i + 2 < size && in[i - 1] == 'E' && in[i + 1] == ' ') {
            j += 1;
            out[j] = in[i + 2];
            i += 2;
        }
        if (in[i] == '/' && i > 0 && i + 2 < size && in[i - 1] == '<' && in[i + 1] == ' ') {
            j += 1;
            out[j] = in[i + 2];
            i += 2;
        }
        if (i + 1 == size && in[i] == ' ') {
            out[j] = in[i];
        }
        j += 1;
        i += 1;
    }
    for (uint32_t k = 0; k + 3 < j; ++k) {
        if (out[k] == '<' && out[k + 1] == '/' && out[k + 2] == 'N' && out[k + 3] == '>') {
            out[k + 2] = 'n';
        }
    }
    return j;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t* buffer = (uint8_t*)malloc(size);
    uint8_t* expected = (uint8_t*)malloc(size);
    Require(size == 0 || (buffer != NULL && expected != NULL), "room for the copies");
    if (size != 0) {
        memcpy(buffer, data, size);
    }
    uint32_t length = RepairSpacedDump(buffer, (uint32_t)size);
    Require(length <= size, "the repaired dump is never longer than the input");
    // A blank at position 0 never reaches the pass (it runs on dumps that start with "["),
    // and the steps leave its output byte unset; there is nothing to compare.
    if (size < 2 || data[0] != ' ') {
        uint32_t referenceLength = ReferenceRepair(data, (uint32_t)size, expected);
        Require(length == referenceLength && memcmp(buffer, expected, length) == 0,
                "the pass gives what its steps, taken one by one, give");
    }
    free(buffer);
    free(expected);
    return 0;
}
