// Rebuilding speech files from dumps: the header scan, the record walk, names and side data.
#include "test_support.h"

#include "workspace.h"

namespace {

const std::string Open = "[:::::]Speech START[:::::]\r\n[:::::]FILENAME: 0001.txt[:::::]\r\n";
const std::string Close = "[:::::]Speech FINISH[:::::]";

std::string Values(const std::string& header, const std::string& count)
{
    return "[:::::]HEADER: " + header + "[:::::]\r\n[:::::]LINECOUNT: " + count + "[:::::]\r\n";
}

class RebuildTest : public ScratchDirectoryTest {
  protected:
    // Writes the dump, rebuilds it and returns what stands in mod.
    std::string Rebuild(const std::string& dump, const std::string& name = "0001.txt")
    {
        WriteFileBytes(name, dump);
        SetCurrentFileName(name);
        ConvertTextToSpeech();
        return ReadFileBytes("mod/" + name.substr(0, name.size() - 3) + "spc");
    }
};

// Each row runs after the one before it in the same process, so header values carry over.
TEST_F(RebuildTest, EachDumpRebuildsIntoTheSpeechFileItDescribes)
{
    const std::string head = Open + Values("1", "9");
    const auto records = [](const std::vector<TestRecord>& list) {
        return BuildSpeechFile(1, 9, list);
    };
    WriteFileBytes("0001.ext", "TAIL");
    const struct {
        const char* What;
        std::string Dump;
        std::string Expected;
    } cases[] = {
        {"no values in a fresh run: a bare five-byte head", "", std::string(5, '\0')},
        {"ordinary values", Open + Values("3", "2") + Close, std::string("\x03\x02\0\0\0", 5)},
        {"values missing: the last ones stay", Open + Close, std::string("\x03\x02\0\0\0", 5)},
        {"a HEADER of 300 is written as its low byte", Open + Values("300", "0") + Close,
         std::string("\x2C\0\0\0\0", 5)},
        {"a five-digit count is read from its first four digits", Open + Values("1", "12345"),
         std::string("\x01\xD2\x04\0\0", 5)},
        {"a HEADER without digits takes the next digits; the count stays",
         Open + "[:::::]HEADER: [:::::]\r\n[:::::]LINECOUNT: 7[:::::]\r\n",
         std::string("\x07\xD2\x04\0\0", 5)},
        {"keywords count only after a bracket that begins after the one before",
         "HEADER: 9 [:::::]Speech START HEADER: 8 [:::::]HEADER: 6 LINECOUNT: 5"
         "[:::::]LINECOUNT: 4",
         std::string("\x06\x04\0\0\0", 5)},
        {"a LINECOUNT of 0 writes no record, whatever lines follow",
         Open + Values("5", "0") + "[LINE:0001]abc\r\n" + Close, std::string("\x05\0\0\0\0", 5)},
        {"ordinary lines", head + "[LINE:0001]Hi\r\n[LINE:0002]\r\n" + Close,
         records({{1, "Hi"}, {2, ""}})},
        {"adjacent record lines make one record", head + "[LINE:0001][LINE:0002]x\r\n" + Close,
         records({{1, "[LINE:0002]x"}})},
        {"a three-digit number", head + "[LINE:012]Hi\r\n" + Close, records({{12, "i"}})},
        {"a number's digits end at the first other byte", head + "[LINE:1a23]x\r\n" + Close,
         records({{1, "x"}})},
        {"a CR LF inside a text shortens it from the end", head + "[LINE:0001]a\r\nbc\r\n" + Close,
         records({{1, "a\r\n"}})},
        {"a lone LF stays in the text", head + "[LINE:0001]a\nb\r\n" + Close,
         records({{1, "a\nb"}})},
        {"blanks stay when the dump is not repaired", head + "[LINE:0001] a b \r\n" + Close,
         records({{1, " a b "}})},
        {"brackets inside a text", head + "[LINE:0001][x] [:::::]y[:::::]Sz[:::::]Ux\r\n" + Close,
         records({{1, "[x] [:::::]y[:::::]Sz[:::::]Ux"}})},
        {"a bracket right before the next line", head + "[LINE:0001]a[[LINE:0002]b\r\n" + Close,
         records({{1, "a["}, {2, "b"}})},
        {"unsequenced marker", head + "[LINE:0001]ab\r\n[:::::]UNKNOWN DATA[:::::]\r\n" + Close,
         records({{1, "ab"}}) + "TAIL"},
        {"short-tail marker", head + "[LINE:0001]ab\r\n[:::::]Unknown DATA[:::::]\r\n" + Close,
         records({{1, "ab"}}) + "TAIL"},
        {"closing line missing: only the last line number is written",
         head + "[LINE:0001]ab\r\n[LINE:0002]cd\r\n",
         records({{1, "ab"}}) + std::string("\x02\0", 2)},
        {"closing line missing after a short-tail marker",
         head + "[LINE:0001]ab\r\n[:::::]Unknown DATA[:::::]\r\n",
         BuildSpeechFile(1, 9, {}) + "\x01" + std::string(1, '\0') + "TAIL"},
        {"closing line missing after the unsequenced marker",
         head + "[LINE:0001]ab\r\n[:::::]UNKNOWN DATA[:::::]\r\n", records({{1, "ab"}}) + "TAIL"},
        {"a marker cut off after its first letter", head + "[LINE:0001]ab\r\n[:::::]U",
         BuildSpeechFile(1, 9, {}) + "\x01" + std::string(1, '\0')},
        {"record lines after a short-tail marker take its saved length",
         head + "[LINE:0001]ab\r\n[:::::]Unknown DATA[:::::]\r\n[LINE:0002]xyz\r\n" + Close,
         // The first line runs on to the next "[LINE:"; the closing line then cuts the
         // second to the length saved for the first.
         records({{1, "ab\r\n[:::::]Unknown DATA[::::"}, {2, "xy"}}) + "TAIL"},
        {"a record line at the very start, with no head before it", "[LINE:0001]Hi\r\n" + Close,
         records({{1, "Hi"}})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rebuild(c.Dump), c.Expected) << c.What;
    }
}

TEST_F(RebuildTest, SideDataIsLookedForUnderTheShortNameThenBesideTheDump)
{
    const std::string dump =
        Open + Values("1", "1") + "[LINE:0001]x\r\n" + "[:::::]UNKNOWN DATA[:::::]\r\n" + Close;
    const std::string records = BuildSpeechFile(1, 1, {{1, "x"}});
    // A long base name: the short name is "er01.ext"; decoding wrote "chapter01.ext".
    WriteFileBytes("chapter01.ext", "LONG");
    EXPECT_EQ(Rebuild(dump, "chapter01.txt"), records + "LONG");
    WriteFileBytes("er01.ext", "SHORT");
    EXPECT_EQ(Rebuild(dump, "chapter01.txt"), records + "SHORT");
    // Neither file: the records are written, the tail is not.
    EXPECT_EQ(Rebuild(dump, "0009.txt"), records);
    // Names of fewer than eight characters take what stands before the extension.
    WriteFileBytes("ab.ext", "AB");
    EXPECT_EQ(Rebuild(dump, "ab.txt"), records + "AB");
    // On Windows, "com1.ext" (the short name of "telecom1.txt") is a device, and no file.
    WriteFileBytes("telecom1.ext", "TEL");
    EXPECT_EQ(Rebuild(dump, "telecom1.txt"), records + "TEL");
    // Side data that would take the file to 4 GiB less one byte, which no reader takes, fails
    // the rebuild before a byte of it is copied (a sparse file); the file that stood stays.
    std::filesystem::resize_file("er01.ext", 0xFFFFFFFFull - records.size());
    EXPECT_EQ(Rebuild(dump, "chapter01.txt"), records + "SHORT");
    EXPECT_EQ(LastConversion.Problem, PROBLEM_SIDE_DATA_UNREADABLE);
}

} // namespace
