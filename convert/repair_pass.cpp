// Puts a dump that went through an editor or tool which inserted blanks around brackets,
// after "E:" and after "</" (and upper-cased the "</n>" tag) back into the exact layout.
#include "workspace.h"

#include <string.h>

// Bytes at which anything but a plain copy can happen.
static bool IsRepairTrigger(uint8_t c)
{
    return c == ' ' || c == ':' || c == '/';
}

// Copies the dump onto itself, dropping the blanks the layout never has. Each step tests, in
// order and on the position the tests before it left: a blank beside a bracket, a blank
// after "E:", a blank after "</". Look-aheads that would pass the end do not apply.
//
// Working in place is safe because the write position never passes the read position, and
// bytes ahead of the read position are never written before they are read. The one byte
// looked at behind the read position may already be overwritten, so its original value is
// carried along in `previous`.
static uint32_t DropInsertedBlanks(uint8_t* bytes, uint32_t size)
{
    uint32_t i = 0;
    uint32_t j = 0;
    uint8_t previous = 0; // the original byte at i - 1
    while (i < size) {
        uint8_t current = bytes[i];
        if (!IsRepairTrigger(current)) {
            bytes[j++] = current;
            previous = current;
            ++i;
            continue;
        }
        if (current == ' ' && i > 0 && i + 1 < size && (previous == ']' || bytes[i + 1] == '[')) {
            previous = current; // the blank is dropped; the next byte takes its place
            current = bytes[i + 1];
            ++i;
        }
        bytes[j] = current;
        if (current == ':' && i > 0 && i + 2 < size && previous == 'E' && bytes[i + 1] == ' ') {
            previous = ' ';
            current = bytes[i + 2];
            bytes[++j] = current;
            i += 2;
        }
        if (current == '/' && i > 0 && i + 2 < size && previous == '<' && bytes[i + 1] == ' ') {
            previous = ' ';
            current = bytes[i + 2];
            bytes[++j] = current;
            i += 2;
        }
        previous = current;
        ++i;
        ++j;
    }
    return j;
}

// Every "</N>" in the text becomes "</n>", left to right.
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
    uint32_t length = DropInsertedBlanks(buffer, size);
    LowerCaseLineTags(buffer, length);
    return length;
}
