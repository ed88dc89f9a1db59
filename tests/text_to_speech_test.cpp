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
    // Writes the dump as 0001.txt, rebuilds it and returns mod/0001.spc.
    std::string Rebuild(const std::string& dump, const std::string& name = "0001.txt")
    {
        WriteFileBytes(name, dump);
        SetCurrentFileName(name);
        ConvertTextToSpeech();
        return ReadFileBytes("mod/" + name.substr(0, name.size() - 3) + "spc");
    }
};

TEST_F(RebuildTest, HeaderScanFindsTheValuesOrKeepsEarlierOnes)
{
    const struct {
        const char* What;
        std::string Dump;
        std::string Expected;
    } cases[] = {
        // Each case runs after the one before it in the same process: values carry over.
        {"no values in a fresh run: a bare five-byte head", "", std::string(5, '\0')},
        {"ordinary values", Open + Values("3", "2") + Close, std::string("\x03\x02\0\0\0", 5)},
        {"values missing: the last ones stay", Open + Close, std::string("\x03\x02\0\0\0", 5)},
        {"a HEADER of 300 is written as its low byte", Open + Values("300", "0") + Close,
         std::string("\x2C\0\0\0\0", 5)},
        {"a five-digit count is read from its first four digits", Open + Values("1", "12345"),
         std::string("\x01\xD2\x04\0\0", 5)}, // 1234, and no record line to write
        {"a HEADER without digits takes the next digits; the count stays",
         Open + "[:::::]HEADER: [:::::]\r\n[:::::]LINECOUNT: 7[:::::]\r\n",
         std::string("\x07\xD2\x04\0\0", 5)},
        {"keywords count only after their bracket", "HEADER: 9 LINECOUNT: 9" + Open + Close,
         std::string("\x07\xD2\x04\0\0", 5)},
        {"a LINECOUNT of 0 writes no record, whatever lines follow",
         Open + Values("5", "0") + "[LINE:0001]abc\r\n" + Close, std::string("\x05\0\0\0\0", 5)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rebuild(c.Dump), c.Expected) << c.What;
    }
}

TEST_F(RebuildTest, RecordWalkCountsEachTextUpToItsMarker)
{
    const std::string values = Open + Values("1", "9");
    const struct {
        const char* What;
        std::string Lines;
        std::vector<TestRecord> Records;
    } cases[] = {
        {"ordinary lines", "[LINE:0001]Hi\r\n[LINE:0002]\r\n", {{1, "Hi"}, {2, ""}}},
        {"adjacent record lines make one record",
         "[LINE:0001][LINE:0002]x\r\n",
         {{1, "[LINE:0002]x"}}},
        {"a three-digit number", "[LINE:012]Hi\r\n", {{12, "i"}}},
        {"a CR LF inside a text shortens it from the end",
         "[LINE:0001]a\r\nbc\r\n",
         {{1, "a\r\n"}}},
        {"a lone LF stays in the text", "[LINE:0001]a\nb\r\n", {{1, "a\nb"}}},
        {"blanks stay when the dump is not repaired", "[LINE:0001] a b \r\n", {{1, " a b "}}},
        {"brackets inside a text", "[LINE:0001][x] [:::::]y\r\n", {{1, "[x] [:::::]y"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rebuild(values + c.Lines + Close), BuildSpeechFile(1, 9, c.Records)) << c.What;
    }
}

TEST_F(RebuildTest, TailMarkersSpliceTheSideDataBack)
{
    const std::string values = Open + Values("2", "3");
    const std::string head = BuildSpeechFile(2, 3, {{1, "ab"}});
    WriteFileBytes("0001.ext", "TAIL");
    const struct {
        const char* What;
        std::string Lines;
        std::string Expected;
    } cases[] = {
        {"unsequenced marker", "[LINE:0001]ab\r\n[:::::]UNKNOWN DATA[:::::]\r\n" + Close,
         head + "TAIL"},
        {"short-tail marker", "[LINE:0001]ab\r\n[:::::]Unknown DATA[:::::]\r\n" + Close,
         head + "TAIL"},
        {"no marker", "[LINE:0001]ab\r\n" + Close, head},
        {"closing line missing: only the last line number is written",
         "[LINE:0001]ab\r\n[LINE:0002]cd\r\n", head + std::string("\x02\x00", 2)},
        {"closing line missing after a short-tail marker",
         "[LINE:0001]ab\r\n[:::::]Unknown DATA[:::::]\r\n",
         std::string("\x02\x03\0\0\0\x01\0", 7) + "TAIL"},
        {"closing line missing after the unsequenced marker",
         "[LINE:0001]ab\r\n[:::::]UNKNOWN DATA[:::::]\r\n", head + "TAIL"},
        {"record lines after a short-tail marker take its saved length",
         "[LINE:0001]ab\r\n[:::::]Unknown DATA[:::::]\r\n[LINE:0002]xyz\r\n" + Close,
         // The first line runs on to the next "[LINE:"; the closing line then cuts the
         // second to the length saved for the first.
         BuildSpeechFile(2, 3, {{1, "ab\r\n[:::::]Unknown DATA[::::"}, {2, "xy"}}) + "TAIL"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rebuild(values + c.Lines), c.Expected) << c.What;
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
}

TEST_F(RebuildTest, LongTextsKeepTheirFullLength)
{
    for (size_t length : {size_t(65535), size_t(65536), size_t(300000)}) {
        std::string text(length, 'w');
        text[length / 2] = '\xE9';
        std::string speech = BuildSpeechFile(1, 1, {{1, text}});
        WriteFileBytes("long.spc", speech);
        SetCurrentFileName("long.spc");
        ConvertSpeechToText();
        SetCurrentFileName("long.txt");
        ConvertTextToSpeech();
        EXPECT_EQ(ReadFileBytes("mod/long.spc"), speech) << length;
    }
}

} // namespace
