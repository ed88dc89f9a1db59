// Arbitrary bytes as a speech file. Decoding never crashes and never changes its input, and
// what it writes accounts for the file exactly: the four marker lines from the head, one
// record line per record for as long as records fit and keep the sequence, then the tail,
// if any, under its marker and whole in the side-data file.
#include "fuzz_support.h"
#include "workspace.h"

#include <stdio.h>
#include <string.h>

static const std::string CLOSING = "[:::::]Speech FINISH[:::::]";

static bool StandsAt(const std::string& text, size_t at, const std::string& word)
{
    return at <= text.size() && text.compare(at, word.size(), word) == 0;
}

static void CheckDump(const uint8_t* in, uint32_t size, const std::string& dump,
                      const std::string* sideData)
{
    char head[200];
    snprintf(head, sizeof head,
             "[:::::]Speech START[:::::]\r\n[:::::]FILENAME: 0001.txt[:::::]\r\n"
             "[:::::]HEADER: %d[:::::]\r\n[:::::]LINECOUNT: %d[:::::]\r\n",
             in[0], (int)(int32_t)LittleEndian(in + 1, 4));
    Require(StandsAt(dump, 0, head), "the dump opens with the four marker lines of the head");

    size_t q = strlen(head);
    uint32_t p = 5;
    uint32_t expected = 0; // full width: nothing follows record 65,535
    bool first = true;
    while (StandsAt(dump, q, "[LINE:")) {
        Require(size - p >= 6, "a record line stands for a whole record head");
        uint32_t number = LittleEndian(in + p, 2);
        uint32_t length = LittleEndian(in + p + 2, 4);
        Require(length <= size - p - 6, "a record line stands for a record that fits the file");
        Require(first || number == expected, "record lines keep the sequence");
        char digits[6];
        snprintf(digits, sizeof digits, "%04u]", number % 10000);
        std::string text((const char*)in + p + 6, length);
        for (char& c : text) {
            c = (char)(c ^ 0x5A);
        }
        Require(StandsAt(dump, q + 6, digits) && StandsAt(dump, q + 11, text + "\r\n"),
                "a record line holds the last four digits of its number and its unmasked text");
        first = false;
        expected = number + 1;
        p += 6 + length;
        q += 11 + length + 2;
    }

    uint32_t left = size - p;
    std::string rest = dump.substr(q < dump.size() ? q : dump.size());
    std::string tail((const char*)in + p, left);
    if (rest == CLOSING) {
        Require(sideData == NULL, "no side data without a tail marker");
        Require(left == 0 || (left == 1 && p == 5),
                "only the sixth byte of a six-byte file is dropped");
    } else if (rest == "[:::::]Unknown DATA[:::::]\r\n" + CLOSING) {
        Require(!first && left >= 1 && left <= 5,
                "a short tail is one to five bytes after a record");
        Require(sideData != NULL && *sideData == tail, "the side data is the short tail");
    } else if (rest == "[:::::]UNKNOWN DATA[:::::]\r\n" + CLOSING) {
        bool fits = left >= 6 && LittleEndian(in + p + 2, 4) <= left - 6;
        bool continues = first || LittleEndian(in + p, 2) == expected;
        Require(left >= (first ? 2u : 6u) && !(fits && continues),
                "an unsequenced tail starts at a record that breaks the sequence or does not fit");
        Require(sideData != NULL && *sideData == tail, "the side data is the unsequenced tail");
    } else {
        Require(false, "the dump ends with a tail marker line or the closing line");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EnterScratchDirectory();
    StartConversion("0001.spc");
    std::string input((const char*)data, size);
    WriteWholeFile("0001.spc", input);

    ConvertSpeechToText();

    std::string after, dump, sideData;
    Require(ReadWholeFile("0001.spc", &after) && after == input, "the speech file is not changed");
    bool hasSideData = ReadWholeFile("0001.ext", &sideData);
    bool hasDump = FileExists("0001.txt");
    Require(FileCount() == 1u + hasDump + hasSideData, "no temporary or other file is left behind");
    if (size < 5) {
        Require(!hasDump && !hasSideData, "a file without a whole head is not decoded");
        return 0;
    }
    Require(ReadWholeFile("0001.txt", &dump), "a file with a whole head is decoded");
    Require(strcmp(CurrentFileName, hasSideData ? "0001.ext" : "0001.txt") == 0,
            "the name ends in ext exactly when side data was written");
    CheckDump(data, (uint32_t)size, dump, hasSideData ? &sideData : NULL);
    return 0;
}
