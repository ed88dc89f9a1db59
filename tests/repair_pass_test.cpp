// The repair pass, as a table of dumps before and after.
#include "test_support.h"

#include "workspace.h"

#include <vector>

namespace {

std::string Repair(const std::string& before)
{
    std::vector<uint8_t> buffer(before.begin(), before.end());
    uint32_t size = RepairSpacedDump(buffer.data(), (uint32_t)buffer.size());
    EXPECT_LE(size, before.size());
    return std::string(buffer.begin(), buffer.begin() + size);
}

TEST(RepairPass, PutsInsertedBlanksBack)
{
    const struct {
        const char* What;
        std::string Before;
        std::string After;
    } cases[] = {
        {"opening line", "[:::::] Speech START [:::::]\r\n", "[:::::]Speech START[:::::]\r\n"},
        {"record line with blanks after the colon and the bracket", "[LINE: 0001] Hi there",
         "[LINE:0001]Hi there"},
        {"file name blank goes, header blanks stay",
         "[:::::] FILENAME: a.txt [:::::]\r\n[:::::] HEADER: 3 [:::::]",
         "[:::::]FILENAME:a.txt[:::::]\r\n[:::::]HEADER: 3[:::::]"},
        {"tag with a blank and upper case", "x</ N>y</N>z", "x</n>y</n>z"},
        {"adjacent brackets", "a] [b", "a][b"},
        {"two blanks between brackets keep one", "a]  [b", "a] [b"},
        {"only the first of two blanks after E: goes", "E:  x", "E: x"},
        {"blank after a bracket inside a text", "[LINE:0001]say [this] now",
         "[LINE:0001]say[this]now"},
        {"a final blank stays", "[x] a ", "[x]a "},
        {"final blank after a bracket stays", "ab] ", "ab] "},
        {"blank at the start stays", " [a", " [a"},
        {"tag cut off at the end", "</N", "</N"},
        {"tags at the very end", "a</N>", "a</n>"},
        {"a tag right after another '<'", "<</N>", "<</n>"},
        {"E: at the very end", "E: ", "E: "},
        {"nothing to do", "plain words, no markup", "plain words, no markup"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Repair(c.Before), c.After) << c.What;
    }
}

// The converter repairs only dumps that start with the tell-tale bracket and blank; others
// are parsed as they stand, tags included.
TEST_F(ScratchDirectoryTest, OnlyDumpsWithTheTellTaleStartAreRepaired)
{
    const std::string big(300000, 'x'); // a dump this long is mapped: the pass works on a copy
    const std::string spacedHead = "[:::::] Speech START [:::::]\r\n[:::::] FILENAME: a [:::::]\r\n"
                                   "[:::::] HEADER: 1 [:::::]\r\n[:::::] LINECOUNT: 1 [:::::]\r\n";
    const std::string tail = "[:::::]HEADER: 1[:::::]\r\n[:::::]LINECOUNT: 1[:::::]\r\n"
                             "[LINE:0001]a</N> b\r\n[:::::]Speech FINISH[:::::]";
    const struct {
        const char* What;
        std::string Dump;
        std::string Expected;
    } cases[] = {
        {"spaced", "[:::::] Speech START [:::::]\r\n" + tail,
         BuildSpeechFile(1, 1, {{1, "a</n> b"}})},
        {"two blanks", "[:::::]  Speech START [:::::]\r\n" + tail,
         BuildSpeechFile(1, 1, {{1, "a</N> b"}})},
        {"exact", "[:::::]Speech START[:::::]\r\n" + tail, BuildSpeechFile(1, 1, {{1, "a</N> b"}})},
        {"spaced and long",
         spacedHead + "[LINE: 0001] t</ N>\r\n[LINE: 0002] " + big +
             "\r\n[:::::] Speech FINISH [:::::]",
         BuildSpeechFile(1, 1, {{1, "t</n>"}, {2, big}})},
        // What the pass leaves past its new end must not be read: here it would end the line.
        {"spaced, cut off in the closing line", spacedHead + "[LINE: 0001] yp\r\n[:::::] S",
         BuildSpeechFile(1, 1, {}) + std::string("\x01\0", 2)},
    };
    for (const auto& c : cases) {
        WriteFileBytes("0001.txt", c.Dump);
        SetCurrentFileName("0001.txt");
        ConvertTextToSpeech();
        EXPECT_EQ(ReadFileBytes("mod/0001.spc"), c.Expected) << c.What;
    }
}

} // namespace
