// Puts a dump that went through an editor or tool which inserted blanks around brackets,
// after "E:" and after "</" (and upper-cased the "</n>" tag) back into the exact layout.
#include "workspace.h"

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Bytes near which a blank can be dropped: a bracket has its blank beside it, a colon or a
// slash its blank after it.
static bool IsMarkupByte(uint8_t c)
{
    return c == '[' || c == ']' || c == ':' || c == '/';
}

// The first position from `from` on that holds a markup byte, or size. Text runs between
// markup bytes are long, so they are scanned sixteen bytes at a time where the compiler
// offers SSE2, eight at a time otherwise.
static uint32_t FindMarkupByte(const uint8_t* bytes, uint32_t from, uint32_t size)
{
    uint32_t p = from;
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('[');
    const __m128i close = _mm_set1_epi8(']');
    const __m128i colon = _mm_set1_epi8(':');
    const __m128i slash = _mm_set1_epi8('/');
    for (; size - p >= 16; p += 16) {
        __m128i block = _mm_loadu_si128((const __m128i*)(bytes + p));
        __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, open), _mm_cmpeq_epi8(block, close)),
                         _mm_or_si128(_mm_cmpeq_epi8(block, colon), _mm_cmpeq_epi8(block, slash)));
        int mask = _mm_movemask_epi8(hits);
        if (mask != 0) {
            return p + (uint32_t)__builtin_ctz((unsigned)mask);
        }
    }
#else
    const uint64_t ones = 0x0101010101010101ull;
    const uint64_t highs = 0x8080808080808080ull;
    static const uint8_t markupBytes[] = {'[', ']', ':', '/'};
    for (; size - p >= 8; p += 8) {
        uint64_t word;
        memcpy(&word, bytes + p, 8);
        uint64_t hits = 0;
        for (uint8_t c : markupBytes) {
            uint64_t zeroWhereEqual = word ^ (ones * c);
            hits |= (zeroWhereEqual - ones) & ~zeroWhereEqual & highs;
        }
        if (hits != 0) {
            break;
        }
    }
#endif
    while (p < size && !IsMarkupByte(bytes[p])) {
        ++p;
    }
    return p;
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
        // Up to the byte before the next markup byte, every step is a plain copy, unless the
        // run starts with a blank right after a "]".
        if (!(bytes[i] == ' ' && previous == ']')) {
            uint32_t markup = FindMarkupByte(bytes, i, size);
            uint32_t end = markup > i ? markup - 1 : i;
            if (markup == size) {
                end = size;
            }
            if (end > i) {
                previous = bytes[end - 1];
                if (j != i) {
                    memmove(bytes + j, bytes + i, end - i);
                }
                j += end - i;
                i = end;
                continue;
            }
        }
        uint8_t current = bytes[i];
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
