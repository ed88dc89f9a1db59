// Property: a speech file decodes and rebuilds byte for byte exactly when the decode finds
// nothing its dump cannot show, and every ordinary one does.
#include "test_support.h"

#include "workspace.h"

#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// A text that, unmasked, holds no CR LF pair, "[LINE:" or "[:::::": drawn from bytes
// that include CR, LF and "[" but never put CR right before LF.
std::string RandomText(std::mt19937& random, size_t length)
{
    static const char alphabet[] = "abc LXYZ[]:<>/\r\n\xC3\xA9\xE3\x81\x82\t0123";
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

TEST_F(ScratchDirectoryTest, OrdinarySpeechFilesOfAnyNameRoundTripByteForByte)
{
    std::filesystem::create_directories("sub/" + std::string(120, 'd'));
    const std::vector<std::string> names = {
        "0001.spc",
        "abc",
        "noextension",
        "\xC3\xA9t\xC3\xA9.spc",
        "sub/0002.spc",
#ifndef _WIN32
        // 259 characters, the most a name may have; Windows refuses it once the current
        // folder is put in front.
        "sub/" + std::string(120, 'd') + "/" + std::string(130, 'n') + ".spc",
#endif
    };
    // What a dump cannot show, put into some files: into a text, anywhere, or as record
    // numbers that pass 9999. A short-tail marker is a loss only in some places.
    static const char* const losses[] = {"\r\n", "[LINE:", "[:::::]UN", "[:::::]Un", "[:::::]Sp"};
    LookForDumpLoss = true;
    std::mt19937 random(20261205);
    for (int file = 0; file < 400; ++file) {
        bool lossy = file % 4 == 3;
        uint32_t recordCount = random() % 40;
        uint32_t first = random() % ((lossy && random() % 5 == 0 ? 10050 : 10000) - recordCount);
        std::vector<TestRecord> records;
        for (uint32_t r = 0; r < recordCount; ++r) {
            size_t length = random() % 8 == 0 ? random() % 70000 : random() % 60;
            records.push_back({(uint16_t)(first + r), RandomText(random, length)});
        }
        if (lossy && recordCount > 0) {
            std::string& text = records[random() % recordCount].Text;
            size_t at = random() % (text.size() + 1);
            // Often no later than where the last text ends, which a short-tail marker's place
            // in its text may then match.
            at = random() % 2 == 0 ? std::min(at, records.back().Text.size()) : at;
            text.insert(at, losses[random() % 5]);
        } else if (recordCount > 0) {
            records[random() % recordCount].Text += "[LINE;"; // a near miss, shown as it is
        }
        uint32_t lineCount = file == 0 ? 9999 : 1 + random() % 9999;
        // A short tail, an unsequenced one (a record that breaks the sequence, then anything)
        // or none. The rebuild looks for tail markers only after the first record line, so
        // only a file with records can carry a tail through the dump.
        std::string tail;
        if (recordCount > 0 && random() % 3 != 0) {
            bool shortTail = random() % 2 == 0;
            uint16_t next = (uint16_t)(first + recordCount + 1 + random() % 50);
            tail = shortTail ? "" : BuildSpeechFile(0, 0, {{next, "zz"}}).substr(5);
            for (size_t n = shortTail ? 1 + random() % 5 : random() % 20; n > 0; --n) {
                tail.push_back((char)random());
            }
        }
        if (lossy && recordCount == 0) {
            // A lone byte after the head, or a first record too long for the file, which then
            // is a tail with no record line before it.
            tail = random() % 2 == 0 ? "\x7F" : std::string("\x01\x00\xFF\xFF", 2 + random() % 3);
        }
        std::string speech = BuildSpeechFile((uint8_t)random(), lineCount, records, tail);
        const std::string& name = names[file % names.size()];
        std::string stem = name.substr(0, name.size() - 3);
        std::remove((stem + "ext").c_str());
        WriteFileBytes(name, speech);
        SetCurrentFileName(name);
        ConvertSpeechToText();
        bool lossFound = LastConversion.Loss != LOSS_NONE;
        ASSERT_EQ(std::string(CurrentFileName),
                  stem + (tail.size() > (recordCount == 0 ? 1u : 0u) ? "ext" : "txt"));
        SetCurrentFileName(stem + "txt");
        ConvertTextToSpeech();
        std::string base = stem.substr(stem.find_last_of('/') + 1) + "spc";
        ASSERT_EQ(ReadFileBytes("mod/" + base) != speech, lossFound) << name << " " << file;
        ASSERT_TRUE(lossy || !lossFound) << name << " " << file;
        ASSERT_EQ(std::string(CurrentFileName), stem + "spc");
    }
}

#ifdef _WIN32
// The "A" calls reach files in a folder named outside the ANSI code page ("\u0141ukasz" under
// Windows-1252) by relative names: conversions there work as anywhere.
TEST_F(ScratchDirectoryTest, ConversionsWorkInAFolderNamedOutsideTheAnsiCodePage)
{
    ASSERT_TRUE(CreateDirectoryW(L"\u0141ukasz", NULL));
    ASSERT_TRUE(SetCurrentDirectoryW(L"\u0141ukasz"));
    const std::string speech = BuildSpeechFile(3, 1, {{1, "Hi"}}, "\x01");
    WriteFileBytes("a.spc", speech);
    SetCurrentFileName("a.spc");
    ConvertSpeechToText();
    ASSERT_EQ(LastConversion.Problem, PROBLEM_NONE);
    SetCurrentFileName("a.txt");
    ConvertTextToSpeech();
    ASSERT_EQ(LastConversion.Problem, PROBLEM_NONE);
    EXPECT_EQ(ReadFileBytes("mod/a.spc"), speech);
}
#endif

} // namespace
