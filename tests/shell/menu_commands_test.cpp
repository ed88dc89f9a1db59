// The single-file commands through the open-file dialog, and the batch driver.
#include "shell_test_support.h"

#include "workspace.h"

#include <algorithm>
#include <cstring>

TEST_F(MainWindowTest, FileCommandsConvertTheConfirmedFileAndNothingOnCancel)
{
    const std::string speech = BuildSpeechFile(3, 2, {{1, "Hi"}, {2, ""}});
    WriteFileBytes("0001.spc", speech);
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
        DialogAnswer answer = {c.Button, false, 0, "", ""};
        StartAnsweringDialogs(&answer);
        SendMessageA(Window, WM_COMMAND, (WPARAM)c.Command, 0);
        StopAnsweringDialogs();
        EXPECT_EQ(answer.DialogsSeen, 1);
        EXPECT_EQ(std::string(CurrentFileName), c.NameAfter);
        EXPECT_EQ(ConversionState, c.Button == IDOK ? OPENING : IDLE);
        EXPECT_EQ(FileExists(c.Output), c.Button == IDOK);
        std::filesystem::current_path(Scratch); // the dialog may have moved it
    }
    EXPECT_EQ(ReadFileBytes("mod/dump.spc"), BuildSpeechFile(3, 1, {{1, "Hi"}}));
}

// Records each call a batch makes: the name it was given and the state it saw.
static std::vector<std::pair<std::string, int>> BatchCalls;

static void RecordBatchCall()
{
    BatchCalls.push_back({CurrentFileName, ConversionState});
}

TEST_F(MainWindowTest, BatchConvertsEveryMatchAndRepaintsAfterEach)
{
    for (const char* name : {"0001.spc", "0002.spc", "readme.txt", "0003.txt", "x.spc.bak"}) {
        WriteFileBytes(name, "");
    }
    std::filesystem::create_directory("folder.txt");
    struct Case {
        const char* Pattern;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"*.spc", {"0001.spc", "0002.spc"}},
        {"*.txt", {"0003.txt", "folder.txt", "readme.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Pattern);
        BatchCalls.clear();
        ConversionState = IDLE;
        RunBatch(c.Pattern, RecordBatchCall);
        std::vector<std::string> names;
        for (size_t i = 0; i < BatchCalls.size(); ++i) {
            names.push_back(BatchCalls[i].first);
            // OPENING once, for the first file; the repaint after it moves on to FINISHED.
            EXPECT_EQ(BatchCalls[i].second, i == 0 ? OPENING : FINISHED) << i;
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.Expected);
        EXPECT_EQ(ConversionState, FINISHED);
        WPARAM exitCode;
        EXPECT_FALSE(TakeQuitMessage(&exitCode));
    }
}

TEST_F(MainWindowTest, BatchWithNothingToConvertEndsTheApplication)
{
    for (int command : {ID_BATCH_SPC_TO_TXT, ID_BATCH_TXT_TO_SPC}) {
        SCOPED_TRACE(command);
        ConversionState = IDLE;
        SendMessageA(Window, WM_COMMAND, (WPARAM)command, 0);
        WPARAM exitCode = 99;
        EXPECT_TRUE(TakeQuitMessage(&exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(ConversionState, OPENING);
        EXPECT_TRUE(SnapshotDirectory().empty());
    }
}
