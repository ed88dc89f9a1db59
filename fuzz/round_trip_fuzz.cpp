// Builds an ordinary speech file from the fuzzer's bytes, decodes it, rebuilds the dump and
// checks that the rebuilt file is the same, byte for byte. Ordinary means: a line count of
// 1 to 9999; records numbered upwards by one from any start, all numbers at most 9999;
// texts that, unmasked, hold no CR LF pair and neither "[LINE:" nor "[:::::"; and, after at
// least one record, perhaps a short tail or an unsequenced tail.
#include "fuzz_support.h"
#include "workspace.h"

#include <stdio.h>

static uint8_t Take(const uint8_t* data, size_t size, size_t* at)
{
    return *at < size ? data[(*at)++] : 0;
}

static void AppendLittleEndian(std::string* out, uint32_t value, int count)
{
    for (int k = 0; k < count; ++k) {
        out->push_back((char)(uint8_t)(value >> (8 * k)));
    }
}

// Breaks every CR LF pair and every record or marker bracket, without making new ones: any
// of them would end or shorten the line when the dump is parsed.
static void MakeOrdinaryText(std::string* text)
{
    for (size_t k = 0; k < text->size(); ++k) {
        if ((*text)[k] == '\r' && k + 1 < text->size() && (*text)[k + 1] == '\n') {
            (*text)[k + 1] = 'n';
        }
        if (text->compare(k, 6, "[LINE:") == 0 || text->compare(k, 6, "[:::::") == 0) {
            (*text)[k] = '{';
        }
    }
}

static std::string BuildOrdinarySpeechFile(const uint8_t* data, size_t size)
{
    size_t at = 0;
    std::string file(1, (char)Take(data, size, &at));
    uint32_t lineCount = Take(data, size, &at);
    lineCount = 1 + (lineCount | (uint32_t)Take(data, size, &at) << 8) % 9999;
    AppendLittleEndian(&file, lineCount, 4);
    uint32_t number = Take(data, size, &at);
    number = (number | (uint32_t)Take(data, size, &at) << 8) % 10000;

    // 0: no tail; 1: a short tail of 1 to 5 bytes; 2: an unsequenced tail of 6 bytes or more.
    uint8_t tailKind = Take(data, size, &at) % 3;
    uint8_t tailChoice = Take(data, size, &at);
    std::string tail(tailKind == 0 ? 0 : tailKind == 1 ? 1 + tailChoice % 5 : 6 + tailChoice, 0);
    for (char& c : tail) {
        c = (char)Take(data, size, &at);
    }

    bool anyRecord = false;
    while (at < size && number <= 9999) {
        uint32_t length = Take(data, size, &at);
        if (length == 255) { // room for longer lines
            length = Take(data, size, &at);
            length |= (uint32_t)Take(data, size, &at) << 8;
        }
        length = length < size - at ? length : (uint32_t)(size - at);
        std::string text((const char*)data + at, length);
        at += length;
        MakeOrdinaryText(&text);
        AppendLittleEndian(&file, number, 2);
        AppendLittleEndian(&file, length, 4);
        for (char c : text) {
            file.push_back((char)(c ^ 0x5A));
        }
        number += 1;
        anyRecord = true;
    }
    if (!anyRecord) {
        return file;
    }
    if (tailKind == 2 && LittleEndian((const uint8_t*)tail.data(), 2) == number) {
        tail[0] = (char)(tail[0] ^ 1); // an unsequenced tail must break the sequence
    }
    return file + tail;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EnterScratchDirectory();
    StartConversion("0001.spc");
    std::string speech = BuildOrdinarySpeechFile(data, size);
    WriteWholeFile("0001.spc", speech);

    ConvertSpeechToText();
    snprintf(CurrentFileName, sizeof CurrentFileName, "0001.txt");
    ConvertTextToSpeech();

    std::string rebuilt;
    Require(ReadWholeFile("mod/0001.spc", &rebuilt), "the dump is rebuilt");
    Require(rebuilt == speech, "decode then rebuild gives the ordinary speech file back");
    return 0;
}
