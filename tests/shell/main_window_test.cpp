// The main window's status display, its single-file commands through the open-file dialog,
// and the batch driver.
#include "shell_test_support.h"

#include "workspace.h"

#include <algorithm>
#include <cstring>

TEST_F(MainWindowTest, PaintStatusDrawsEachStateAndShowsOpeningOnce)
{
    struct Case {
        int State;
        const char* Word;
        const char* WordAfter; // on the next repaint
    };
    for (const Case& c : {Case{IDLE, "IDLE", "IDLE"}, Case{OPENING, "OPENING...", "FINISHED"},
                          Case{FINISHED, "FINISHED", "FINISHED"}}) {
        SCOPED_TRACE(c.Word);
        std::strcpy(CurrentFileName, "0001.txt");
        ConversionState = c.State;
        for (const char* word : {c.Word, c.WordAfter}) {
            PaintStatus();
            std::vector<ReferenceText> values = {{word, 80, 50}};
            if (c.State != IDLE) {
                values.push_back({CurrentFileName, 80, 70});
            }
            EXPECT_EQ(PixelsOfColour(MAGENTA), ReferencePixels({{"STATUS:", 10, 50}}, MAGENTA));
            EXPECT_EQ(PixelsOfColour(GREEN), ReferencePixels(values, GREEN)) << word;
        }
    }
}

TEST_F(MainWindowTest, FileCommandsConvertTheConfirmedFileAndNothingOnCancel)
{
    WriteFileBytes("0001.spc", BuildSpeechFile(3, 2, {{1, "Hi"}, {2, ""}}));
    WriteFileBytes("dump.txt", "[:::::]Speech START[:::::]\r\n[:::::]HEADER: 3[:::::]\r\n"
                               "[:::::]LINECOUNT: 1[:::::]\r\n[LINE:0001]Hi\r\n"
                               "[:::::]Speech FINISH[:::::]");
    const std::string folder = std::filesystem::current_path().string() + "\\";
    struct Case {
        int Command;
        std::string Typed;
        int Button;
        std::string NameAfter;
        const char* Output;
    };
    const Case cases[] = {
        {ID_FILE_SPC_TO_TXT, folder + "0001.spc", IDCANCEL, folder + "0001.spc", "0001.txt"},
        {ID_FILE_SPC_TO_TXT, folder + "0001.spc", IDOK, folder + "0001.txt", "0001.txt"},
        {ID_FILE_TXT_TO_SPC, folder + "dump.txt", IDOK, folder + "dump.spc", "mod/dump.spc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed + (c.Button == IDOK ? " confirmed" : " cancelled"));
        std::strcpy(CurrentFileName, c.Typed.c_str());
        ConversionState = IDLE;
        DialogAnswer answer = {c.Button, false, {}};
        AnswerDialogs(&answer);
        SendMessageA(Window, WM_COMMAND, (WPARAM)c.Command, 0);
        AnswerDialogs(NULL);
        EXPECT_EQ(answer.Seen.size(), 1u);
        EXPECT_EQ(std::string(CurrentFileName), c.NameAfter);
        EXPECT_EQ(ConversionState, c.Button == IDOK ? OPENING : IDLE);
        EXPECT_EQ(std::filesystem::exists(c.Output), c.Button == IDOK);
        std::filesystem::current_path(Scratch); // the dialog may have moved it
    }
    EXPECT_EQ(ReadFileBytes("mod/dump.spc"), BuildSpeechFile(3, 1, {{1, "Hi"}}));
}

// Each call a batch makes: the name it was given, and the state it saw as O (OPENING),
// F (FINISHED) or ? (any other).
static std::vector<std::string> BatchNames;
static std::string BatchStates;

static void RecordBatchCall()
{
    BatchNames.push_back(CurrentFileName);
    BatchStates += ConversionState == OPENING ? 'O' : ConversionState == FINISHED ? 'F' : '?';
}

TEST_F(MainWindowTest, BatchConvertsEveryMatchAndEndsTheApplicationWhenNoneMatches)
{
    for (const char* name : {"0001.spc", "0002.spc", "readme.txt", "0003.txt", "x.spc.bak"}) {
        WriteFileBytes(name, "");
    }
    std::filesystem::create_directory("folder.txt");
    struct Case {
        const char* Pattern;
        std::vector<std::string> Expected;
        const char* States; // OPENING for the first file only: the repaint after it moves on
    };
    for (const Case& c :
         {Case{"*.spc", {"0001.spc", "0002.spc"}, "OF"},
          Case{"*.txt", {"0003.txt", "folder.txt", "readme.txt"}, "OFF"}, Case{"*.ext", {}, ""}}) {
        SCOPED_TRACE(c.Pattern);
        BatchNames.clear();
        BatchStates.clear();
        ConversionState = IDLE;
        RunBatch(c.Pattern, RecordBatchCall);
        std::sort(BatchNames.begin(), BatchNames.end());
        EXPECT_EQ(BatchNames, c.Expected);
        EXPECT_EQ(BatchStates, c.States);
        EXPECT_EQ(ConversionState, c.Expected.empty() ? OPENING : FINISHED);
        WPARAM exitCode = 99;
        EXPECT_EQ(TakeQuitMessage(&exitCode), c.Expected.empty());
        EXPECT_EQ(exitCode, c.Expected.empty() ? 0u : 99u);
    }
}
