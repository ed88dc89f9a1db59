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

// Runs inside the loop's dispatch: once the status shows IDLE, chooses File, Exit. The timer
// stops first: the loop looks only at the last message it took, so a tick taken right after
// the quit message would hide it and the loop would go on.
static void CALLBACK WatchTheLoop(HWND, UINT, UINT_PTR timer, DWORD)
{
    ++TimerTicks;
    HWND window = FindOwnMainWindow();
    IdleSeen = IdleSeen || (GlobalBackBuffer.Memory != NULL &&
                            PixelsOfColour(GREEN_PIXEL) ==
                                ReferencePixels({{"IDLE", 80, 50, RGB(0, 255, 0)}}, GREEN_PIXEL));
    if (window != NULL && (IdleSeen || TimerTicks > 100)) {
        KillTimer(NULL, timer);
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

TEST(MessageLoop, PaintsIdleAndEndsWithExitCodeZeroAfterExit)
{
    ConversionState = IDLE;
    LoopThread = GetCurrentThreadId();
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
    UnregisterClassA("Quillmarsh SPC", GetModuleHandleA(NULL));
    EXPECT_TRUE(IdleSeen);
    EXPECT_FALSE(ExitIgnored);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(left, (HWND)NULL);
    EXPECT_EQ(GlobalBackBuffer.MemoryDC, (HDC)NULL);
}
