// Decoding speech files into dumps: what each kind of file gives.
#include "test_support.h"

#include "workspace.h"

namespace {

const std::string Unsequenced = "[:::::]UNKNOWN DATA[:::::]\r\n";
const std::string ShortTail = "[:::::]Unknown DATA[:::::]\r\n";

// The four marker lines a file's head gives.
std::string Head(const std::string& file)
{
    int32_t count = (int32_t)((uint8_t)file[1] | (uint8_t)file[2] << 8 | (uint8_t)file[3] << 16 |
                              (uint32_t)(uint8_t)file[4] << 24);
    return "[:::::]Speech START[:::::]\r\n[:::::]FILENAME: 0001.txt[:::::]\r\n[:::::]HEADER: " +
           std::to_string((uint8_t)file[0]) +
           "[:::::]\r\n[:::::]LINECOUNT: " + std::to_string(count) + "[:::::]\r\n";
}

TEST_F(ScratchDirectoryTest, EachSpeechFileDecodesIntoItsDumpAndSideData)
{
    std::string every;
    for (int b = 0; b < 256; ++b) {
        every.push_back((char)b);
    }
    const std::string five = BuildSpeechFile(2, 3, {{5, "A"}, {6, "B"}});
    const std::string fiveLines = "[LINE:0005]A\r\n[LINE:0006]B\r\n";
    const std::string eight = BuildSpeechFile(0, 0, {{8, "C"}}).substr(5);
    const std::string breaks("\x09\x00\x00\x00\x00\x00", 6);
    const std::string continues("\x07\x00\x01\x00\x00\x00", 6);
    const std::string runsPast = std::string("\x07\x00\x09\x00\x00\x00", 6) + "abc";
    // Lengths near 2^32: the sums with the position must not wrap around.
    const std::string runsFarPast = std::string("\x07\x00\xFA\xFF\xFF\xFF", 6) + "abc";
    const std::string runsFarthest = std::string("\x07\x00\xFF\xFF\xFF\xFF", 6) + "abc";
    const std::string head = std::string("\x04\x02\x00\x00\x00", 5);
    const std::string none = "old side data"; // stands before each row; no tail leaves it
    const struct {
        const char* What;
        std::string File, Lines, SideData;
    } cases[] = {
        {"ordinary records", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, ""}}),
         "[LINE:0001]Hi\r\n[LINE:0002]\r\n", none},
        {"line 10000", BuildSpeechFile(255, 7, {{10000, "x"}}), "[LINE:0000]x\r\n", none},
        {"a count with its top bit set", BuildSpeechFile(1, 0x80000000u, {{12345, "x"}}),
         "[LINE:2345]x\r\n", none},
        {"every byte, and a CR LF, in texts", BuildSpeechFile(1, 2, {{1, "a\r\nb"}, {2, every}}),
         "[LINE:0001]a\r\nb\r\n[LINE:0002]" + every + "\r\n", none},
        {"an unsequenced record", five + eight, fiveLines + Unsequenced, eight},
        {"a short tail of one byte", five + "q", fiveLines + ShortTail, "q"},
        {"a short tail of five bytes", five + "12345", fiveLines + ShortTail, "12345"},
        {"six bytes that break the sequence", five + breaks, fiveLines + Unsequenced, breaks},
        {"six bytes that continue with a length", five + continues, fiveLines + Unsequenced,
         continues},
        {"a text running past the end", five + runsPast, fiveLines + Unsequenced, runsPast},
        {"a length of 2^32 - 6", five + runsFarPast, fiveLines + Unsequenced, runsFarPast},
        {"a length of 2^32 - 1", five + runsFarthest, fiveLines + Unsequenced, runsFarthest},
        {"nothing after record 65535", BuildSpeechFile(1, 2, {{65535, "z"}, {0, "w"}}),
         "[LINE:5535]z\r\n" + Unsequenced, BuildSpeechFile(0, 0, {{0, "w"}}).substr(5)},
        {"a head alone", head, "", none},
        {"a six-byte file: the sixth byte is dropped", head + "Z", "", none},
        {"a record head that does not fit", head + "ab", Unsequenced, "ab"},
        {"a record head one byte short", head + "abcde", Unsequenced, "abcde"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        WriteFileBytes("0001.ext", none);
        WriteFileBytes("0001.spc", c.File);
        SetCurrentFileName("0001.spc");
        ConvertSpeechToText();
        EXPECT_EQ(ReadFileBytes("0001.txt"),
                  Head(c.File) + c.Lines + "[:::::]Speech FINISH[:::::]");
        EXPECT_EQ(ReadFileBytes("0001.ext"), c.SideData);
        EXPECT_STREQ(CurrentFileName, c.SideData == none ? "0001.txt" : "0001.ext");
    }
}

} // namespace
