// RunMessageLoop as the program runs it: its repaint rule, its start-up failures and the
// loop itself.
#include "shell_test_support.h"

#include "workspace.h"

TEST(RepaintRule, KeepsItsRhythmAcrossTheTickCounterWrap)
{
    struct Case {
        DWORD Now, LastRepaint;
        bool Due;
    };
    const Case cases[] = {
        {10499, 10000, false},
        {10500, 10000, true},
        {0xFFFFFFFFu, 0xFFFFFE0Cu, false}, // 499 ms, just before the wrap
        {0x00000000u, 0xFFFFFE0Cu, true},  // 500 ms, landing on the wrap
        {0x7FFFFFFFu, 0xFFFFFF00u, true},  // long after: no signed difference
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsStatusRepaintDue(c.Now, c.LastRepaint), c.Due)
            << std::hex << c.Now << " after " << c.LastRepaint;
    }
}

TEST(StartupFailures, ShowTheirMessageBoxAndEndWithZero)
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    for (bool classTaken : {true, false}) {
        SCOPED_TRACE(classTaken ? "registration" : "creation");
        if (classTaken) {
            ASSERT_TRUE(Win32RegisterMainWindowClass(instance));
        }
        DialogAnswer answer = {IDOK, !classTaken, {}};
        AnswerDialogs(&answer);
        int exitCode = RunMessageLoop(instance, SW_SHOWNORMAL);
        AnswerDialogs(NULL);
        UnregisterClassA("Quillmarsh SPC", instance);
        EXPECT_EQ(exitCode, 0);
        const std::string failed = classTaken ? "Registration" : "Creation";
        EXPECT_EQ(answer.Seen, std::vector<std::string>{"Error!: Window " + failed + " Failed!"});
        EXPECT_EQ(FindOwnMainWindow(), (HWND)NULL);
    }
}

static int TimerTicks;
static bool IdleSeen;

// Runs inside the loop's dispatch: once the status shows IDLE, chooses File, Exit. A loop that
// Exit did not end gets exit code 1 after some 5 s, so that the test fails, not hangs.
static void CALLBACK WatchTheLoop(HWND, UINT, UINT_PTR, DWORD)
{
    HWND window = FindOwnMainWindow();
    IdleSeen = IdleSeen || (GlobalBackBuffer.Memory != NULL &&
                            PixelsOfColour(GREEN) == ReferencePixels({{"IDLE", 80, 50}}, GREEN));
    if (window != NULL && IdleSeen) {
        SendMessageA(window, WM_COMMAND, ID_FILE_EXIT, 0);
    }
    if (++TimerTicks == 250) {
        PostQuitMessage(1);
    }
}

TEST(MessageLoop, EndsOnTheQuitMessageEvenWithAnotherTakenAfterIt)
{
    for (bool quitPostedFirst : {false, true}) {
        SCOPED_TRACE(quitPostedFirst ? "WM_QUIT, then WM_USER, before the loop" : "File, Exit");
        ConversionState = IDLE;
        IdleSeen = false;
        TimerTicks = 0;
        if (quitPostedFirst) {
            PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 7, 0);
            PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
        }
        UINT_PTR timer = SetTimer(NULL, 0, 20, WatchTheLoop);
        int exitCode = RunMessageLoop(GetModuleHandleA(NULL), SW_SHOWNORMAL);
        KillTimer(NULL, timer);
        if (HWND left = FindOwnMainWindow()) {
            DestroyWindow(left);
        }
        MSG rest;
        while (PeekMessageA(&rest, NULL, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA("Quillmarsh SPC", GetModuleHandleA(NULL));
        EXPECT_EQ(IdleSeen, !quitPostedFirst);
        EXPECT_EQ(exitCode, quitPostedFirst ? 7 : 0);
        EXPECT_EQ(GlobalBackBuffer.MemoryDC, (HDC)NULL);
    }
}
