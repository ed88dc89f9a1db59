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
    const std::string tail = "[:::::]HEADER: 1[:::::]\r\n[:::::]LINECOUNT: 1[:::::]\r\n"
                             "[LINE:0001]a</N> b\r\n[:::::]Speech FINISH[:::::]";
    const struct {
        std::string Opening;
        std::string Text;
    } cases[] = {
        {"[:::::] Speech START [:::::]\r\n", "a</n> b"},
        {"[:::::]  Speech START [:::::]\r\n", "a</N> b"},
        {"[:::::]Speech START[:::::]\r\n", "a</N> b"},
    };
    for (const auto& c : cases) {
        WriteFileBytes("0001.txt", c.Opening + tail);
        SetCurrentFileName("0001.txt");
        ConvertTextToSpeech();
        EXPECT_EQ(ReadFileBytes("mod/0001.spc"), BuildSpeechFile(1, 1, {{1, c.Text}})) << c.Opening;
    }
}

TEST_F(ScratchDirectoryTest, ASpacedDumpRebuildsLikeItsExactTwin)
{
    // Long enough that the dump is mapped, not read: the pass then works on a copy.
    std::string speech = BuildSpeechFile(
        7, 3, {{1, "Hello there"}, {2, "tag</n>end"}, {3, std::string(300000, 'x')}});
    WriteFileBytes("0001.spc", speech);
    SetCurrentFileName("0001.spc");
    ConvertSpeechToText();
    std::string exact = ReadFileBytes("0001.txt");
    std::string spaced = "[:::::] Speech START [:::::]\r\n[:::::] FILENAME: 0001.txt [:::::]\r\n"
                         "[:::::] HEADER: 7 [:::::]\r\n[:::::] LINECOUNT: 3 [:::::]\r\n"
                         "[LINE: 0001] Hello there\r\n[LINE: 0002] tag</ N>end\r\n"
                         "[LINE: 0003]" +
                         std::string(300000, 'x') + "\r\n[:::::] Speech FINISH [:::::]";
    for (const std::string& dump : {exact, spaced}) {
        std::filesystem::remove_all("mod");
        WriteFileBytes("0001.txt", dump);
        SetCurrentFileName("0001.txt");
        ConvertTextToSpeech();
        EXPECT_EQ(ReadFileBytes("mod/0001.spc"), speech) << dump;
    }
}

} // namespace
