// How a game stores its texts, and conversion between that and UTF-8.
//
// The conversions use each system's own converter: iconv in text_encoding_posix.cpp, the
// Windows code pages in text_encoding_win32.cpp. Both accept the same byte strings and give the
// same bytes, and neither ever puts a '?' or a look-alike in place of a character it cannot
// convert: such a text is refused.
#ifndef QUILLMARSH_CONVERT_TEXT_ENCODING_H
#define QUILLMARSH_CONVERT_TEXT_ENCODING_H

#include <stdint.h>
#include <string>

enum TextEncoding {
    ENCODING_UTF8,
    ENCODING_CP932, // Shift_JIS as Windows has it
    ENCODING_CP936, // GBK
    ENCODING_CP949, // UHC
    ENCODING_CP950, // Big5
    ENCODING_CP1250,
    ENCODING_CP1251,
    ENCODING_CP1252,
    ENCODING_COUNT
};

// The encoding a name stands for, case-insensitively; false when unknown.
bool FindTextEncoding(const char* name, TextEncoding* encoding);

// The name shown in messages: "UTF-8", "Shift_JIS", "GBK", "UHC", "Big5", "Windows-1250", ...
const char* TextEncodingName(TextEncoding encoding);

// Lines for --help, one per encoding with the names it is found by.
extern const char TEXT_ENCODING_HELP[];

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const uint8_t* bytes, uint32_t length);

// A game text as UTF-8: the text itself when the game stores UTF-8 (it is then only checked),
// otherwise its conversion, made in *converted. NULL when the bytes are not valid text in
// that encoding.
const std::string* GameTextAsUtf8(TextEncoding encoding, const std::string& text,
                                  std::string* converted);

// UTF-8 -> game text, appended to *text. False when utf8 is not valid UTF-8 or holds a
// character the encoding cannot represent; *text is then as it was.
bool EncodeGameText(TextEncoding encoding, const uint8_t* utf8, uint32_t length, std::string* text);

// A file name as a catalogue carries it, in UTF-8, from the name the system's "A" calls take
// (on Windows, in the ANSI code page), and back. False when the name has no such form.
bool FileNameAsUtf8(const std::string& name, std::string* utf8);
bool FileNameFromUtf8(const std::string& utf8, std::string* name);

// ---- What each system's file gives the two conversions above ------------------------------
// Called for the encodings other than UTF-8 only, with text that is not all ASCII; the
// input of SystemEncodeText is valid UTF-8. Append, or return false.

bool SystemDecodeText(TextEncoding encoding, const uint8_t* text, uint32_t length,
                      std::string* utf8);
bool SystemEncodeText(TextEncoding encoding, const uint8_t* utf8, uint32_t length,
                      std::string* text);

#endif
