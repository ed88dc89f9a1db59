// Game text conversions on Windows, through the system's code pages.
#ifdef _WIN32
#include "text_encoding.h"

#include <windows.h>

static const UINT CODE_PAGES[ENCODING_COUNT] = {CP_UTF8, 932, 936, 949, 950, 1250, 1251, 1252};

// UTF-16 between the code page and UTF-8, kept for the run.
static std::wstring WideText;

// Windows gives characters to some bytes that glibc refuses: undefined bytes become C1 controls
// (0x81 in Windows-1252 is U+0081, 0x80 in Shift_JIS U+0080), and the user-defined areas of
// GBK, UHC and Big5 and a few lone bytes become private-use characters. Those characters are
// refused both ways, so that both systems accept the same texts. What both map stays: Big5's
// 0x80 as U+0080 and its ETEN extensions at U+F6B1..U+F848, Shift_JIS's user-defined area at
// U+E000..U+E757.
static const uint16_t REFUSED[ENCODING_COUNT][2][2] = {
    {{1, 0}, {1, 0}},                     // UTF-8: never converted here
    {{0x80, 0x9F}, {0xE758, 0xF8FF}},     // Shift_JIS
    {{0x80, 0x9F}, {0xE000, 0xF8FF}},     // GBK
    {{0x80, 0x9F}, {0xE000, 0xF8FF}},     // UHC
    {{0xE000, 0xF6B0}, {0xF849, 0xF8FF}}, // Big5
    {{0x80, 0x9F}, {0xE000, 0xF8FF}},     // Windows-1250
    {{0x80, 0x9F}, {0xE000, 0xF8FF}},     // Windows-1251
    {{0x80, 0x9F}, {0xE000, 0xF8FF}},     // Windows-1252
};

static bool HasRefusedCharacter(TextEncoding encoding, int units)
{
    for (int i = 0; i < units; ++i) {
        wchar_t unit = WideText[i];
        for (const uint16_t* range : REFUSED[encoding]) {
            if (unit >= range[0] && unit <= range[1]) {
                return true;
            }
        }
    }
    return false;
}

// Every code page here gives at most one UTF-16 unit per byte, and UTF-8 at most three bytes
// per unit, so the room made before each call is always enough.
bool SystemDecodeText(TextEncoding encoding, const uint8_t* text, uint32_t length,
                      std::string* utf8)
{
    WideText.resize(length);
    int units = MultiByteToWideChar(CODE_PAGES[encoding], MB_ERR_INVALID_CHARS, (LPCCH)text,
                                    (int)length, &WideText[0], (int)length);
    if (units <= 0 || HasRefusedCharacter(encoding, units)) {
        return false;
    }
    size_t before = utf8->size();
    utf8->resize(before + (size_t)units * 3);
    int made = WideCharToMultiByte(CP_UTF8, 0, WideText.data(), units, &(*utf8)[before], units * 3,
                                   NULL, NULL);
    utf8->resize(before + (made > 0 ? made : 0));
    return made > 0;
}

// A character without an exact mapping would come out as the default character; that is a
// failure, as is a best-fit look-alike.
bool SystemEncodeText(TextEncoding encoding, const uint8_t* utf8, uint32_t length,
                      std::string* text)
{
    WideText.resize(length);
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, (LPCCH)utf8, (int)length,
                                    &WideText[0], (int)length);
    if (units <= 0 || HasRefusedCharacter(encoding, units)) {
        return false;
    }
    size_t before = text->size();
    text->resize(before + (size_t)units * 2);
    BOOL usedDefault = FALSE;
    int made = WideCharToMultiByte(CODE_PAGES[encoding], WC_NO_BEST_FIT_CHARS, WideText.data(),
                                   units, &(*text)[before], units * 2, NULL, &usedDefault);
    bool done = made > 0 && !usedDefault;
    text->resize(before + (done ? made : 0));
    return done;
}
// A name from one code page to another through UTF-16; no default character or best-fit
// look-alike stands in for a character the target lacks: such a name fails.
static bool ConvertName(UINT from, UINT to, const std::string& name, std::string* converted)
{
    converted->clear();
    int length = (int)name.size();
    int units = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, name.data(), length, NULL, 0);
    std::wstring wide((size_t)(units > 0 ? units : 0), L'\0');
    if (length == 0 || MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, name.data(), length,
                                           &wide[0], units) <= 0) {
        return length == 0;
    }
    bool toUtf8 = to == CP_UTF8 || GetACP() == CP_UTF8; // which takes no default character
    BOOL usedDefault = FALSE;
    DWORD flags = toUtf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int bytes = WideCharToMultiByte(to, flags, wide.data(), units, NULL, 0, NULL, NULL);
    converted->resize((size_t)(bytes > 0 ? bytes : 0));
    return bytes > 0 &&
           WideCharToMultiByte(to, flags, wide.data(), units, &(*converted)[0], bytes, NULL,
                               toUtf8 ? NULL : &usedDefault) == bytes &&
           !usedDefault;
}

bool FileNameAsUtf8(const std::string& name, std::string* utf8)
{
    return ConvertName(CP_ACP, CP_UTF8, name, utf8);
}

bool FileNameFromUtf8(const std::string& utf8, std::string* name)
{
    return ConvertName(CP_UTF8, CP_ACP, utf8, name);
}
#endif
