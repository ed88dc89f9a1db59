// Writing PO catalogues.
#include "po_catalogue.h"

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// What stands after the backslash for the five bytes written as escapes; 0 for the others,
// which stand raw: gettext reads raw bytes, and polib reads no escapes but these five, so raw
// is the one form every reader gives back as it was.
static char EscapeOf(char c)
{
    switch (c) {
    case '\n':
        return 'n';
    case '\t':
        return 't';
    case '\r':
        return 'r';
    case '"':
    case '\\':
        return c;
    default:
        return 0;
    }
}

// The eight bytes at c with a high bit set for each one that may need an escape: a control byte
// below 14 (\t, \n and \r are among them), a '"' or a '\\'. The lowest bit set marks the
// first such byte exactly (a borrow only marks bytes above it; the targets are little-endian).
static uint64_t MayNeedEscape(const char* c)
{
    const uint64_t ONES = 0x0101010101010101u;
    uint64_t word;
    memcpy(&word, c, 8);
    uint64_t quotes = word ^ (ONES * '"');
    uint64_t backslashes = word ^ (ONES * '\\');
    return (((word - ONES * 14) & ~word) | ((quotes - ONES) & ~quotes) |
            ((backslashes - ONES) & ~backslashes)) &
           (ONES * 0x80);
}

// How many bytes from c on are known to need no escape (see above): up to the first that may,
// or up to the last few before end. Sixteen bytes at a time where the compiler offers SSE2,
// eight at a time otherwise.
static size_t CleanRunLength(const char* c, const char* end)
{
    const char* start = c;
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i thirteen = _mm_set1_epi8(13);
    for (; end - c >= 16; c += 16) {
        __m128i block = _mm_loadu_si128((const __m128i*)c);
        // Unsigned: a byte is at most 13 when the smaller of it and 13 is the byte itself.
        __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(block, thirteen), block);
        __m128i marks = _mm_or_si128(
            control, _mm_or_si128(_mm_cmpeq_epi8(block, quote), _mm_cmpeq_epi8(block, backslash)));
        int mask = _mm_movemask_epi8(marks);
        if (mask != 0) {
            return (size_t)(c - start) + (size_t)__builtin_ctz((unsigned)mask);
        }
    }
#endif
    for (; end - c >= 8; c += 8) {
        uint64_t marks = MayNeedEscape(c);
        if (marks != 0) {
            return (size_t)(c - start) + (size_t)__builtin_ctzll(marks) / 8;
        }
    }
    return (size_t)(c - start); // the last few bytes are looked at one by one
}

// A quoted string. With breakLines, each "\n" before the end also closes the string and opens
// another on the next line, as gettext writes a text of several lines.
static void AppendQuoted(std::string* out, const char* text, size_t length, bool breakLines)
{
    out->push_back('"');
    const char* run = text;
    const char* end = text + length;
    for (const char* c = text; c < end; ++c) {
        // Up to the next byte that needs a closer look.
        c += CleanRunLength(c, end);
        if (c == end) {
            break;
        }
        char escape = EscapeOf(*c);
        if (escape != 0) {
            out->append(run, (size_t)(c - run));
            if (breakLines && *c == '\n' && c + 1 < end) {
                out->append("\\n\"\n\"", 5);
            } else {
                out->push_back('\\');
                out->push_back(escape);
            }
            run = c + 1;
        }
    }
    out->append(run, (size_t)(end - run));
    out->push_back('"');
}

// A keyword and its string. A text with a line break before its end starts with "" and goes on
// with one line per piece, each ending after its "\n"; nothing is wrapped at a width.
static void AppendKeyword(std::string* out, const char* keyword, const char* text, size_t length)
{
    out->append(keyword);
    const char* newline = (const char*)memchr(text, '\n', length);
    bool breakLines = newline != NULL && newline != text + length - 1;
    out->append(breakLines ? " \"\"\n" : " ");
    AppendQuoted(out, text, length, breakLines);
    out->push_back('\n');
}

// A line break in the value (a catalogue's name may hold one) would start another field.
static void AppendHeaderField(std::string* out, const char* name, const char* value)
{
    std::string field = name;
    for (const char* c = value; *c != 0; ++c) {
        field += (uint8_t)*c < 0x20 ? ' ' : *c;
    }
    field += '\n';
    AppendQuoted(out, field.data(), field.size(), false);
    out->push_back('\n');
}

void AppendCatalogueHeader(std::string* out, const char* project, const char* generator,
                           const char* gameEncoding)
{
    out->append("#, fuzzy\n"
                "msgid \"\"\n"
                "msgstr \"\"\n");
    AppendHeaderField(out, "Project-Id-Version: ", project);
    out->append("\"Report-Msgid-Bugs-To: \\n\"\n"
                "\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"\n"
                "\"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n\"\n"
                "\"Language-Team: LANGUAGE <LL@li.org>\\n\"\n"
                "\"Language: \\n\"\n"
                "\"MIME-Version: 1.0\\n\"\n"
                "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                "\"Content-Transfer-Encoding: 8bit\\n\"\n");
    AppendHeaderField(out, "X-Generator: ", generator);
    if (gameEncoding != NULL) {
        AppendHeaderField(out, GAME_ENCODING_FIELD, gameEncoding);
    }
}

void AppendCatalogueEntry(std::string* out, const char* reference, const char* context,
                          const char* text, size_t length)
{
    out->append("\n#: ");
    out->append(reference);
    out->push_back('\n');
    AppendKeyword(out, "msgctxt", context, strlen(context));
    AppendKeyword(out, "msgid", text, length);
    out->append("msgstr \"\"\n");
}
