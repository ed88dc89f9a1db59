// Decoding speech files into dumps, grouped by what the file holds.
#include "test_support.h"

#include "workspace.h"

namespace {

const std::string Open = "[:::::]Speech START[:::::]\r\n";
const std::string Close = "[:::::]Speech FINISH[:::::]";
const std::string UnsequencedMarker = "[:::::]UNKNOWN DATA[:::::]\r\n";
const std::string ShortTailMarker = "[:::::]Unknown DATA[:::::]\r\n";

std::string Head(const std::string& dumpName, const std::string& header, const std::string& count)
{
    return Open + "[:::::]FILENAME: " + dumpName + "[:::::]\r\n" + "[:::::]HEADER: " + header +
           "[:::::]\r\n" + "[:::::]LINECOUNT: " + count + "[:::::]\r\n";
}

class DecodeTest : public ScratchDirectoryTest {
  protected:
    // Writes the speech file, decodes it and returns the dump.
    std::string Decode(const std::string& bytes, const std::string& name = "0001.spc")
    {
        WriteFileBytes(name, bytes);
        SetCurrentFileName(name);
        ConvertSpeechToText();
        std::string dumpName = name.substr(0, name.size() - 3) + "txt";
        return ReadFileBytes(dumpName);
    }
};

TEST_F(DecodeTest, OrdinaryFileGivesTheExactDump)
{
    std::string dump = Decode(BuildSpeechFile(3, 2, {{1, "Hi"}, {2, ""}}));
    EXPECT_EQ(dump, Head("0001.txt", "3", "2") + "[LINE:0001]Hi\r\n[LINE:0002]\r\n" + Close);
    EXPECT_STREQ(CurrentFileName, "0001.txt");
    EXPECT_FALSE(FileExists("0001.ext"));
}

TEST_F(DecodeTest, HeaderCountAndLineNumbersAreShownInDecimal)
{
    const struct {
        uint8_t Header;
        uint32_t Count;
        uint16_t FirstLine;
        const char* HeaderText;
        const char* CountText;
        const char* LineDigits;
    } cases[] = {
        {0, 0, 0, "0", "0", "0000"},
        {255, 7, 10000, "255", "7", "0000"},
        {1, 0x80000000u, 12345, "1", "-2147483648", "2345"},
        {9, 0xFFFFFFFFu, 65535, "9", "-1", "5535"},
        {44, 123456, 42, "44", "123456", "0042"},
    };
    for (const auto& c : cases) {
        std::string dump = Decode(BuildSpeechFile(c.Header, c.Count, {{c.FirstLine, "x"}}));
        EXPECT_EQ(dump, Head("0001.txt", c.HeaderText, c.CountText) + "[LINE:" + c.LineDigits +
                            "]x\r\n" + Close);
    }
}

TEST_F(DecodeTest, TextBytesAreUnmaskedAndWrittenWhateverTheyAre)
{
    std::string every;
    for (int b = 0; b < 256; ++b) {
        every.push_back((char)b);
    }
    std::string dump = Decode(BuildSpeechFile(1, 2, {{1, "a\r\nb"}, {2, every}}));
    EXPECT_EQ(dump, Head("0001.txt", "1", "2") + "[LINE:0001]a\r\nb\r\n[LINE:0002]" + every +
                        "\r\n" + Close);
}

TEST_F(DecodeTest, TailsGoToTheSideDataFileWithTheirMarker)
{
    const std::string five = BuildSpeechFile(2, 3, {{5, "A"}, {6, "B"}});
    const std::string fiveLines = "[LINE:0005]A\r\n[LINE:0006]B\r\n";
    const std::string eight = BuildSpeechFile(0, 0, {{8, "C"}}).substr(5);
    const std::string breaks("\x09\x00\x00\x00\x00\x00", 6);
    const std::string continues("\x07\x00\x01\x00\x00\x00", 6);
    const std::string runsPast = std::string("\x07\x00\x09\x00\x00\x00", 6) + "abc";
    const struct {
        const char* What;
        std::string File, Lines, Marker, SideData;
    } cases[] = {
        {"unsequenced record", five + eight, fiveLines, UnsequencedMarker, eight},
        {"short tail of one byte", five + "q", fiveLines, ShortTailMarker, "q"},
        {"short tail of five bytes", five + "12345", fiveLines, ShortTailMarker, "12345"},
        {"six bytes that break the sequence", five + breaks, fiveLines, UnsequencedMarker, breaks},
        {"six bytes that continue with a length", five + continues, fiveLines, UnsequencedMarker,
         continues},
        {"text running past the end", five + runsPast, fiveLines, UnsequencedMarker, runsPast},
        {"nothing after record 65535", BuildSpeechFile(1, 2, {{65535, "z"}, {0, "w"}}),
         "[LINE:5535]z\r\n", UnsequencedMarker, BuildSpeechFile(0, 0, {{0, "w"}}).substr(5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::remove("0001.ext");
        std::string dump = Decode(c.File);
        std::string head = Head("0001.txt", std::to_string((uint8_t)c.File[0]),
                                std::to_string((int32_t)(uint8_t)c.File[1]));
        EXPECT_EQ(dump, head + c.Lines + c.Marker + Close);
        EXPECT_EQ(ReadFileBytes("0001.ext"), c.SideData);
        EXPECT_STREQ(CurrentFileName, "0001.ext");
    }
}

TEST_F(DecodeTest, FilesTooShortForARecord)
{
    const std::string head = std::string("\x04\x02\x00\x00\x00", 5);
    // A five-byte head, and a six-byte file whose last byte is dropped: no record, no tail.
    EXPECT_EQ(Decode(head), Head("0001.txt", "4", "2") + Close);
    EXPECT_EQ(Decode(head + "Z"), Head("0001.txt", "4", "2") + Close);
    EXPECT_FALSE(FileExists("0001.ext"));
    // Seven to ten bytes: a record head that does not fit is kept whole as side data.
    for (const std::string rest : {"ab", "abc", "abcd", "abcde"}) {
        std::remove("0001.ext");
        EXPECT_EQ(Decode(head + rest), Head("0001.txt", "4", "2") + UnsequencedMarker + Close);
        EXPECT_EQ(ReadFileBytes("0001.ext"), rest);
    }
}

TEST_F(DecodeTest, WithoutATailAnExistingSideDataFileIsLeftAlone)
{
    WriteFileBytes("0001.ext", "old side data");
    Decode(BuildSpeechFile(1, 1, {{1, "x"}}));
    EXPECT_EQ(ReadFileBytes("0001.ext"), "old side data");
}

} // namespace
