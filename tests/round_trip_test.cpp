// Property: every ordinary speech file decodes and rebuilds byte for byte.
#include "test_support.h"

#include "workspace.h"

#include <random>

namespace {

// A text that, unmasked, holds no CR LF pair, "[LINE:" or "[:::::": drawn from bytes
// that include CR, LF and "[" but never put CR right before LF.
std::string RandomText(std::mt19937& random, size_t length)
{
    static const char alphabet[] = "abc XYZ[]:<>/\r\n\xC3\xA9\xE3\x81\x82\t0123";
    std::string text;
    text.reserve(length);
    while (text.size() < length) {
        char c = alphabet[random() % (sizeof alphabet - 1)];
        if (c == '\n' && !text.empty() && text.back() == '\r') {
            continue;
        }
        text.push_back(c);
    }
    return text;
}

std::string RandomTail(std::mt19937& random, uint32_t nextNumber)
{
    std::string tail;
    switch (random() % 3) {
    case 0:
        break;
    case 1: // short tail
        for (size_t n = 1 + random() % 5; n > 0; --n) {
            tail.push_back((char)random());
        }
        break;
    default: // unsequenced: a record whose number breaks the sequence, then anything
        tail =
            BuildSpeechFile(0, 0, {{(uint16_t)(nextNumber + 1 + random() % 50), "zz"}}).substr(5);
        for (size_t n = random() % 20; n > 0; --n) {
            tail.push_back((char)random());
        }
    }
    return tail;
}

TEST_F(ScratchDirectoryTest, OrdinarySpeechFilesRoundTripByteForByte)
{
    std::mt19937 random(20261205);
    for (int file = 0; file < 300; ++file) {
        uint32_t recordCount = random() % 40;
        uint32_t first = random() % (10000 - recordCount);
        std::vector<TestRecord> records;
        for (uint32_t r = 0; r < recordCount; ++r) {
            size_t length = random() % 8 == 0 ? random() % 70000 : random() % 60;
            records.push_back({(uint16_t)(first + r), RandomText(random, length)});
        }
        uint32_t lineCount = 1 + random() % 9999;
        // The rebuild looks for tail markers only after the first record line, so only a
        // file with records can carry a tail through the dump.
        std::string tail = recordCount > 0 ? RandomTail(random, first + recordCount) : "";
        std::string speech = BuildSpeechFile((uint8_t)random(), lineCount, records, tail);
        std::remove("0001.ext");
        WriteFileBytes("0001.spc", speech);
        SetCurrentFileName("0001.spc");
        ConvertSpeechToText();
        SetCurrentFileName("0001.txt");
        ConvertTextToSpeech();
        ASSERT_EQ(ReadFileBytes("mod/0001.spc"), speech) << "file " << file;
        ASSERT_STREQ(CurrentFileName, "0001.spc");
    }
}

} // namespace
