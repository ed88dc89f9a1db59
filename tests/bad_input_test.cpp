// Bad input gets a defined outcome: no crash, nothing read outside a buffer (the sanitizer
// run checks that), the input untouched, no half-written output, and a reason.
#include "test_support.h"

#include "text_encoding.h"
#include "workspace.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

TEST_F(ScratchDirectoryTest, WhatCannotBeConvertedIsRefusedWithItsReasonAndChangesNothing)
{
    const std::string tailed = BuildSpeechFile(1, 1, {{1, "x"}}, "tail");
    const std::string dump = "[:::::]Speech START[:::::]\r\n[:::::]LINECOUNT: 1[:::::]\r\n"
                             "[LINE:0001]self\r\n[:::::]Speech FINISH[:::::]";
    const std::string tailDump = "[:::::]Speech START[:::::]\r\n[:::::]HEADER: 1[:::::]\r\n"
                                 "[:::::]LINECOUNT: 1[:::::]\r\n"
                                 "[LINE:0001]x\r\n[:::::]Unknown DATA[:::::]\r\n"
                                 "[:::::]Speech FINISH[:::::]";
    const std::string inMod = (std::filesystem::current_path() / "mod" / "0001.spc").string();
    const struct {
        const char* What;
        void (*Convert)();
        std::string Name, Bytes; // the input, unless empty
        std::string Folder; // made first, to stand in the way; "|NAME": a pipe (the input if alone)
        ConversionProblem Problem;
    } cases[] = {
        {"missing", ConvertSpeechToText, "missing.spc", "", "", PROBLEM_CANNOT_OPEN},
        {"a folder", ConvertTextToSpeech, "folder.txt", "", "folder.txt", PROBLEM_NOT_REGULAR_FILE},
#ifndef _WIN32
        {"a pipe with no writer, refused at once instead of waited on", ConvertSpeechToText,
         "pipe.spc", "", "|", PROBLEM_NOT_REGULAR_FILE},
#endif
        {"shorter than its head", ConvertSpeechToText, "0001.spc", "\x01", "", PROBLEM_TOO_SHORT},
        {"no room for an extension", ConvertSpeechToText, "ab", tailed, "", PROBLEM_NAME_UNUSABLE},
        {"named like its dump", ConvertSpeechToText, "story.txt", tailed, "",
         PROBLEM_OUTPUT_IS_INPUT},
        {"named like its side data", ConvertSpeechToText, "x.ext", tailed, "",
         PROBLEM_OUTPUT_IS_INPUT},
        {"a dump that is its own rebuilt file", ConvertTextToSpeech, inMod, dump, "mod",
         PROBLEM_OUTPUT_IS_INPUT},
        {"the dump's name taken by a folder", ConvertSpeechToText, "0002.spc", tailed, "0002.txt",
         PROBLEM_CANNOT_REPLACE},
        {"the side data's name taken by a folder", ConvertSpeechToText, "0002.spc", tailed,
         "0002.ext", PROBLEM_CANNOT_REPLACE},
        {"mod taken by a file", ConvertTextToSpeech, "0001.txt", dump, "",
         PROBLEM_CANNOT_MAKE_FOLDER},
        {"side data that is a folder", ConvertTextToSpeech, "0001.txt", tailDump, "0001.ext",
         PROBLEM_SIDE_DATA_UNREADABLE},
#ifndef _WIN32
        {"side data that is a pipe", ConvertTextToSpeech, "0001.txt", tailDump, "|0001.ext",
         PROBLEM_SIDE_DATA_UNREADABLE},
#endif
        {"a name of the program's own", ConvertSpeechToText, "~qm-out.tmp", tailed, "",
         PROBLEM_NAME_UNUSABLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            std::filesystem::remove_all(entry.path());
        }
#ifndef _WIN32
        if (c.Folder[0] == '|') {
            ASSERT_EQ(mkfifo(c.Folder.size() > 1 ? c.Folder.c_str() + 1 : c.Name.c_str(), 0600), 0);
        }
#endif
        if (!c.Folder.empty() && c.Folder[0] != '|') {
            std::filesystem::create_directory(c.Folder);
        }
        if (c.Problem == PROBLEM_CANNOT_MAKE_FOLDER) {
            WriteFileBytes("mod", "a file");
        }
        if (!c.Bytes.empty()) {
            WriteFileBytes(c.Name, c.Bytes);
        }
        auto before = SnapshotDirectory();
        SetCurrentFileName(c.Name);
        c.Convert();
        EXPECT_EQ(LastConversion.Problem, c.Problem);
        EXPECT_EQ(std::string(CurrentFileName), c.Name);
        EXPECT_EQ(SnapshotDirectory(), before);
    }
}

// A catalogue's text is checked eight or sixteen bytes at a time up to its first byte above
// 0x7F: a sequence, good or bad, is judged the same after any run of ASCII.
TEST(Utf8Check, JudgesASequenceTheSameWhereverItStands)
{
    const std::pair<std::string, bool> sequences[] = {
        {"\xC3\xA9", true},      {"\xE2\x82\xAC", true}, {"\xF0\x9F\x98\x80", true},
        {"\xFF", false},         {"\x80", false},        {"\xC0\xAF", false},
        {"\xED\xA0\x80", false}, {"\xE2\x82", false},    {"\xF4\x90\x80\x80", false}};
    for (const auto& sequence : sequences) {
        for (size_t before = 0; before <= 40; ++before) {
            for (size_t after : {0, 1, 20}) {
                std::string text =
                    std::string(before, 'a') + sequence.first + std::string(after, 'b');
                EXPECT_EQ(IsValidUtf8((const uint8_t*)text.data(), (uint32_t)text.size()),
                          sequence.second)
                    << before << " " << after;
            }
        }
    }
}

} // namespace
