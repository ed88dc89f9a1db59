// The names of the game text encodings, strict UTF-8, and what both systems' conversions share.
#include "text_encoding.h"

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct EncodingName {
    const char* Name;
    TextEncoding Encoding;
};

// Kept in step with TEXT_ENCODING_HELP.
static const EncodingName ENCODING_NAMES[] = {
    {"utf-8", ENCODING_UTF8},      {"utf8", ENCODING_UTF8},
    {"shift_jis", ENCODING_CP932}, {"sjis", ENCODING_CP932},
    {"cp932", ENCODING_CP932},     {"windows-31j", ENCODING_CP932},
    {"ms932", ENCODING_CP932},     {"gbk", ENCODING_CP936},
    {"cp936", ENCODING_CP936},     {"uhc", ENCODING_CP949},
    {"cp949", ENCODING_CP949},     {"big5", ENCODING_CP950},
    {"cp950", ENCODING_CP950},     {"windows-1250", ENCODING_CP1250},
    {"cp1250", ENCODING_CP1250},   {"windows-1251", ENCODING_CP1251},
    {"cp1251", ENCODING_CP1251},   {"windows-1252", ENCODING_CP1252},
    {"cp1252", ENCODING_CP1252},
};

const char TEXT_ENCODING_HELP[] = "                  UTF-8          utf-8, utf8 (the default)\n"
                                  "                  Shift_JIS      shift_jis, sjis, cp932, "
                                  "windows-31j, ms932\n"
                                  "                  GBK            gbk, cp936\n"
                                  "                  UHC            uhc, cp949\n"
                                  "                  Big5           big5, cp950\n"
                                  "                  Windows-1250   windows-1250, cp1250\n"
                                  "                  Windows-1251   windows-1251, cp1251\n"
                                  "                  Windows-1252   windows-1252, cp1252\n";

static const char* const DISPLAY_NAMES[ENCODING_COUNT] = {
    "UTF-8", "Shift_JIS", "GBK", "UHC", "Big5", "Windows-1250", "Windows-1251", "Windows-1252",
};

static bool SameNameIgnoringCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? (char)(*a + 32) : *a;
        if (x != *b) {
            return false;
        }
        if (x == 0) {
            return true;
        }
    }
}

bool FindTextEncoding(const char* name, TextEncoding* encoding)
{
    for (const EncodingName& known : ENCODING_NAMES) {
        if (SameNameIgnoringCase(name, known.Name)) {
            *encoding = known.Encoding;
            return true;
        }
    }
    return false;
}

const char* TextEncodingName(TextEncoding encoding)
{
    return DISPLAY_NAMES[encoding];
}

// Bytes below 0x80 are ASCII in every encoding here and never start a multibyte character,
// so a text's ASCII start needs no converter.
static uint32_t AsciiPrefixLength(const uint8_t* text, uint32_t length)
{
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        memcpy(&word, text + i, 8);
        if (word & 0x8080808080808080u) {
            break;
        }
    }
    while (i < length && text[i] < 0x80) {
        ++i;
    }
    return i;
}

// From i on, character by character past runs of ASCII.
static bool IsValidUtf8From(const uint8_t* bytes, uint32_t length, uint32_t i)
{
    while (i < length) {
        // Eight bytes at a time up to the next byte above 0x7F; the targets are little-endian,
        // so the lowest bit set marks the first of them.
        if (length - i >= 8) {
            uint64_t word;
            memcpy(&word, bytes + i, 8);
            uint64_t high = word & 0x8080808080808080u;
            if (high == 0) {
                i += 8;
                continue;
            }
            i += (uint32_t)__builtin_ctzll(high) / 8;
        } else if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        uint8_t lead = bytes[i];
        // The allowed range of the second byte rules out the overlong forms, the surrogates
        // and what lies above U+10FFFF.
        uint32_t size = 4;
        uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            size = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            size = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (length - i < size || bytes[i + 1] < low || bytes[i + 1] > high) {
            return false;
        }
        for (uint32_t k = 2; k < size; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += size;
    }
    return true;
}

#if defined(__SSE2__)
// Sixteen bytes at a time while they hold ASCII and two-byte characters only, as most texts in
// Latin, Greek or Cyrillic letters do: then every lead byte C2..DF is followed by exactly one
// continuation byte 80..BF, and every continuation byte follows one. A block with anything
// else goes on character by character from the character it is in.
bool IsValidUtf8(const uint8_t* bytes, uint32_t length)
{
    const __m128i continuationBits = _mm_set1_epi8((char)0xC0);
    const __m128i continuation = _mm_set1_epi8((char)0x80);
    const __m128i belowLead = _mm_set1_epi8((char)0xC1); // as signed bytes
    const __m128i aboveLead = _mm_set1_epi8((char)0xE0);
    uint32_t carry = 0; // the block before ended in a lead byte
    uint32_t i = 0;
    for (; length - i >= 16; i += 16) {
        __m128i block = _mm_loadu_si128((const __m128i*)(bytes + i));
        uint32_t high = (uint32_t)_mm_movemask_epi8(block);
        if (high == 0 && carry == 0) {
            continue;
        }
        uint32_t follows = (uint32_t)_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_and_si128(block, continuationBits), continuation));
        uint32_t leads = (uint32_t)_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpgt_epi8(block, belowLead), _mm_cmplt_epi8(block, aboveLead)));
        if (high != (follows | leads)) {
            return IsValidUtf8From(bytes, length, i - carry);
        }
        if (follows != (((leads << 1) | carry) & 0xFFFF)) {
            return false;
        }
        carry = leads >> 15;
    }
    return IsValidUtf8From(bytes, length, i - carry);
}
#else
bool IsValidUtf8(const uint8_t* bytes, uint32_t length)
{
    return IsValidUtf8From(bytes, length, 0);
}
#endif

const std::string* GameTextAsUtf8(TextEncoding encoding, const std::string& text,
                                  std::string* converted)
{
    const uint8_t* bytes = (const uint8_t*)text.data();
    uint32_t length = (uint32_t)text.size();
    if (encoding == ENCODING_UTF8) {
        return IsValidUtf8(bytes, length) ? &text : NULL;
    }
    uint32_t ascii = AsciiPrefixLength(bytes, length);
    converted->assign(text, 0, ascii);
    if (ascii < length && !SystemDecodeText(encoding, bytes + ascii, length - ascii, converted)) {
        return NULL;
    }
    return converted;
}

// Characters that Japanese input outside Windows gives where Shift_JIS as Windows has it maps
// the same JIS code to another character (the wave dash, the minus sign...): written as that
// code, as iconv's CP932 does.
static const char* const CP932_VARIANTS[][2] = {
    {"\xE3\x80\x9C", "\xEF\xBD\x9E"}, {"\xE2\x80\x96", "\xE2\x88\xA5"},
    {"\xE2\x88\x92", "\xEF\xBC\x8D"}, {"\xE2\x80\x94", "\xE2\x80\x95"},
    {"\xC2\xA2", "\xEF\xBF\xA0"},     {"\xC2\xA3", "\xEF\xBF\xA1"},
    {"\xC2\xAC", "\xEF\xBF\xA2"}};
static std::string Cp932Form;

// In one pass: a replacement is longer than some characters it replaces, and replacing in
// place would move the rest of the text each time.
static void SubstituteCp932Variants(const uint8_t** utf8, uint32_t* length)
{
    const char* text = (const char*)*utf8;
    uint32_t copied = 0;
    Cp932Form.clear();
    for (uint32_t at = 0; at < *length; ++at) {
        // Every variant starts with a lead byte of C2 or above; most bytes are not one.
        if ((uint8_t)text[at] < 0xC2) {
            continue;
        }
        for (const auto& variant : CP932_VARIANTS) {
            size_t size = strlen(variant[0]);
            if (text[at] == variant[0][0] && size <= *length - at &&
                memcmp(text + at, variant[0], size) == 0) {
                Cp932Form.append(text + copied, at - copied).append(variant[1]);
                copied = at + (uint32_t)size;
                at = copied - 1;
                break;
            }
        }
    }
    // Without a variant the text is taken as it is.
    if (copied > 0) {
        Cp932Form.append(text + copied, *length - copied);
        *utf8 = (const uint8_t*)Cp932Form.data();
        *length = (uint32_t)Cp932Form.size();
    }
}

bool EncodeGameText(TextEncoding encoding, const uint8_t* utf8, uint32_t length, std::string* text)
{
    if (!IsValidUtf8(utf8, length)) {
        return false;
    }
    if (encoding == ENCODING_CP932) {
        SubstituteCp932Variants(&utf8, &length);
    }
    size_t before = text->size();
    uint32_t ascii = encoding == ENCODING_UTF8 ? length : AsciiPrefixLength(utf8, length);
    text->append((const char*)utf8, ascii);
    if (ascii < length && !SystemEncodeText(encoding, utf8 + ascii, length - ascii, text)) {
        text->resize(before);
        return false;
    }
    return true;
}
