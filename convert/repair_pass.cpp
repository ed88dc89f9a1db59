// Puts a dump that went through an editor or tool which inserted blanks around brackets,
// after "E:" and after "</" (and upper-cased the "</n>" tag) back into the exact layout.
#include "workspace.h"

#include <stdlib.h>
#include <string.h>

// Bytes at which anything but a plain copy can happen.
static bool IsRepairTrigger(uint8_t c)
{
    return c == ' ' || c == ':' || c == '/';
}

// Copies in to out, dropping the blanks the layout never has. Each step tests, in order and
// on the position the tests before it left: a blank beside a bracket, a blank after "E:", a
// blank after "</". Look-aheads that would pass the end do not apply.
static uint32_t CopyWithoutInsertedBlanks(const uint8_t* in, uint32_t size, uint8_t* out)
{
    uint32_t i = 0;
    uint32_t j = 0;
    while (i < size) {
        uint8_t c = in[i];
        if (!IsRepairTrigger(c)) {
            out[j++] = c;
            ++i;
            continue;
        }
        if (c == ' ' && i > 0 && i + 1 < size && (in[i - 1] == ']' || in[i + 1] == '[')) {
            out[j] = in[i + 1]; // the blank is dropped; the next byte takes its place
            ++i;
        } else {
            out[j] = c; // also keeps a blank at either end of the dump
        }
        if (in[i] == ':' && i > 0 && i + 2 < size && in[i - 1] == 'E' && in[i + 1] == ' ') {
            ++j;
            out[j] = in[i + 2];
            i += 2;
        }
        if (in[i] == '/' && i > 0 && i + 2 < size && in[i - 1] == '<' && in[i + 1] == ' ') {
            ++j;
            out[j] = in[i + 2];
            i += 2;
        }
        ++i;
        ++j;
    }
    return j;
}

// Every "</N>" in the copied text becomes "</n>", left to right.
static void LowerCaseLineTags(uint8_t* text, uint32_t length)
{
    uint8_t* end = text + length;
    uint8_t* at = text;
    while (end - at >= 4) {
        at = (uint8_t*)memchr(at, '<', (size_t)(end - at) - 3);
        if (at == NULL) {
            return;
        }
        if (at[1] == '/' && at[2] == 'N' && at[3] == '>') {
            at[2] = 'n';
        }
        ++at;
    }
}

uint32_t RepairSpacedDump(uint8_t* buffer, uint32_t size)
{
    if (size == 0) {
        return 0;
    }
    // Without room for the copy the dump is left as it is: nothing is lost, it is only
    // parsed in the layout it has.
    uint8_t* out = (uint8_t*)malloc(size);
    if (out == NULL) {
        return size;
    }
    uint32_t length = CopyWithoutInsertedBlanks(buffer, size, out);
    LowerCaseLineTags(out, length);
    memcpy(buffer, out, length);
    free(out);
    return length;
}
