// Game text conversions on POSIX systems, through iconv.
#ifndef _WIN32
#include "text_encoding.h"

#include <iconv.h>

// Names are bytes, which catalogues take as UTF-8.
bool FileNameAsUtf8(const std::string& name, std::string* utf8)
{
    *utf8 = name;
    return true;
}

bool FileNameFromUtf8(const std::string& utf8, std::string* name)
{
    *name = utf8;
    return true;
}

// The Windows code pages by their iconv names (not SHIFT_JIS or BIG5, which map some
// characters differently), so that both systems convert alike.
static const char* const ICONV_NAMES[ENCODING_COUNT] = {
    "UTF-8", "CP932", "CP936", "CP949", "CP950", "CP1250", "CP1251", "CP1252",
};

// Opened on first use and kept for the run; (iconv_t)-1 when iconv lacks the encoding.
static iconv_t Decoders[ENCODING_COUNT];
static iconv_t Encoders[ENCODING_COUNT];
static bool ConvertersOpened[ENCODING_COUNT];

static void OpenConverters(TextEncoding encoding)
{
    if (!ConvertersOpened[encoding]) {
        Decoders[encoding] = iconv_open("UTF-8", ICONV_NAMES[encoding]);
        Encoders[encoding] = iconv_open(ICONV_NAMES[encoding], "UTF-8");
        ConvertersOpened[encoding] = true;
    }
}

// No character here takes more than growth times its input bytes, so one pass fills the room
// made; iconv stops at the first byte it cannot convert and never substitutes.
static bool Convert(iconv_t converter, const uint8_t* in, uint32_t length, uint32_t growth,
                    std::string* out)
{
    if (converter == (iconv_t)-1) {
        return false;
    }
    iconv(converter, NULL, NULL, NULL, NULL);
    size_t before = out->size();
    out->resize(before + (size_t)length * growth);
    char* from = (char*)in;
    size_t fromLeft = length;
    char* to = &(*out)[before];
    size_t toLeft = (size_t)length * growth;
    bool done = iconv(converter, &from, &fromLeft, &to, &toLeft) != (size_t)-1;
    out->resize(done ? before + (size_t)length * growth - toLeft : before);
    return done;
}

bool SystemDecodeText(TextEncoding encoding, const uint8_t* text, uint32_t length,
                      std::string* utf8)
{
    OpenConverters(encoding);
    return Convert(Decoders[encoding], text, length, 3, utf8);
}

// Big5 has two codes for four box-drawing characters; Windows writes the second, glibc the
// first. Both read either one.
static const uint16_t BIG5_WINDOWS_CODES[][2] = {
    {0xA2A4, 0xF9F9}, // U+2550
    {0xA2A5, 0xF9E9}, // U+255E
    {0xA2A6, 0xF9EA}, // U+256A
    {0xA2A7, 0xF9EB}, // U+2561
};

static void UseWindowsBig5Codes(char* text, size_t length)
{
    size_t i = 0;
    while (i < length) {
        // Lead bytes run from 0x81; 0x80 and ASCII stand alone.
        if ((uint8_t)text[i] <= 0x80) {
            ++i;
            continue;
        }
        uint16_t code = (uint16_t)((uint8_t)text[i] << 8 | (uint8_t)text[i + 1]);
        for (const uint16_t* pair : BIG5_WINDOWS_CODES) {
            if (code == pair[0]) {
                text[i] = (char)(pair[1] >> 8);
                text[i + 1] = (char)pair[1];
            }
        }
        i += 2;
    }
}

// The game text read back, kept for the run.
static std::string RoundTrip;

// Windows refuses a character that does not come back from a round trip; glibc writes some of
// them (U+00A5 as 0x5C in Shift_JIS, language tags as nothing at all), so every encoded text
// is read back here and compared.
bool SystemEncodeText(TextEncoding encoding, const uint8_t* utf8, uint32_t length,
                      std::string* text)
{
    OpenConverters(encoding);
    size_t before = text->size();
    if (!Convert(Encoders[encoding], utf8, length, 1, text)) {
        return false;
    }
    RoundTrip.clear();
    if (!Convert(Decoders[encoding], (const uint8_t*)text->data() + before,
                 (uint32_t)(text->size() - before), 3, &RoundTrip) ||
        RoundTrip.compare(0, std::string::npos, (const char*)utf8, length) != 0) {
        text->resize(before);
        return false;
    }
    if (encoding == ENCODING_CP950) {
        UseWindowsBig5Codes(&(*text)[before], text->size() - before);
    }
    return true;
}
#endif
