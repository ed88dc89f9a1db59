// The repaint rule and the loop as the program runs it.
#include "shell_test_support.h"

#include "workspace.h"

TEST(RepaintRule, KeepsItsRhythmAcrossTheTickCounterWrap)
{
    struct Case {
        DWORD Now, LastRepaint;
        bool Due;
    };
    const Case cases[] = {
        {499, 0, false}, // a machine up for less than 500 ms waits for its first repaint
        {123456, 0, true},
        {10499, 10000, false},
        {10500, 10000, true},
        {0xFFFFFFFFu, 0xFFFFFE0Cu, false}, // 499 ms, just before the wrap
        {0x00000000u, 0xFFFFFE0Cu, true},  // 500 ms, landing on the wrap
        {0x000000F3u, 0xFFFFFF00u, false}, // 499 ms across it
        {0x000000F4u, 0xFFFFFF00u, true},  // 500 ms across it
        {0x7FFFFFFFu, 0xFFFFFF00u, true},  // long after: no signed difference
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsStatusRepaintDue(c.Now, c.LastRepaint), c.Due)
            << std::hex << c.Now << " after " << c.LastRepaint;
    }
}

// What the timer saw while the loop ran.
static int TimerTicks;
static bool IdleSeen;
static bool ExitIgnored;

// Runs inside the loop's dispatch: once the status shows IDLE, chooses File, Exit.
static void CALLBACK WatchTheLoop(HWND, UINT, UINT_PTR, DWORD)
{
    ++TimerTicks;
    HWND window = FindOwnMainWindow();
    IdleSeen = IdleSeen || (GlobalBackBuffer.Memory != NULL &&
                            PixelsOfColour(GREEN_PIXEL) ==
                                ReferencePixels({{"IDLE", 80, 50, RGB(0, 255, 0)}}, GREEN_PIXEL));
    if (window != NULL && (IdleSeen || TimerTicks > 100)) {
        SendMessageA(window, WM_COMMAND, ID_FILE_EXIT, 0);
    }
}

// Ends a loop that Exit did not end, so that a broken Exit fails the test, not hangs it.
static DWORD LoopThread;
static HANDLE LoopEnded;

static DWORD WINAPI EndAStuckLoop(LPVOID)
{
    if (WaitForSingleObject(LoopEnded, 10000) == WAIT_TIMEOUT) {
        ExitIgnored = true;
        PostThreadMessageA(LoopThread, WM_QUIT, 1, 0);
    }
    return 0;
}

TEST(MessageLoop, EndsOnTheQuitMessageEvenWithAnotherTakenAfterIt)
{
    struct Case {
        bool QuitPostedFirst; // WM_QUIT with WM_USER behind it, before the loop starts
        int ExitCode;
    };
    for (const Case& c : {Case{false, 0}, Case{true, 7}}) {
        SCOPED_TRACE(c.QuitPostedFirst ? "quit posted first" : "File, Exit");
        ConversionState = IDLE;
        IdleSeen = ExitIgnored = false;
        TimerTicks = 0;
        LoopThread = GetCurrentThreadId();
        if (c.QuitPostedFirst) {
            PostThreadMessageA(LoopThread, WM_QUIT, (WPARAM)c.ExitCode, 0);
            PostThreadMessageA(LoopThread, WM_USER, 0, 0);
        }
        LoopEnded = CreateEventA(NULL, TRUE, FALSE, NULL);
        HANDLE watchdog = CreateThread(NULL, 0, EndAStuckLoop, NULL, 0, NULL);
        UINT_PTR timer = SetTimer(NULL, 0, 20, WatchTheLoop);
        int exitCode = RunMessageLoop(GetModuleHandleA(NULL), SW_SHOWNORMAL);
        KillTimer(NULL, timer);
        SetEvent(LoopEnded);
        WaitForSingleObject(watchdog, INFINITE);
        CloseHandle(watchdog);
        CloseHandle(LoopEnded);
        HWND left = FindOwnMainWindow();
        if (left != NULL) {
            DestroyWindow(left);
        }
        MSG rest;
        while (PeekMessageA(&rest, NULL, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA("Quillmarsh SPC", GetModuleHandleA(NULL));
        EXPECT_EQ(IdleSeen, !c.QuitPostedFirst);
        EXPECT_FALSE(ExitIgnored);
        EXPECT_EQ(exitCode, c.ExitCode);
        EXPECT_EQ(left == NULL, !c.QuitPostedFirst);
        EXPECT_EQ(GlobalBackBuffer.MemoryDC, (HDC)NULL);
    }
}
