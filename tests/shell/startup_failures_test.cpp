// The start-up failures: each shows its message box and the program ends with 0.
#include "shell_test_support.h"

TEST(StartupFailures, ShowTheirMessageBoxAndEndWithZero)
{
    struct Case {
        bool ClassTaken;
        bool CreationRefused;
        const char* Text;
    };
    const Case cases[] = {
        {true, false, "Window Registration Failed!"},
        {false, true, "Window Creation Failed!"},
    };
    HINSTANCE instance = GetModuleHandleA(NULL);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        if (c.ClassTaken) {
            ASSERT_TRUE(Win32RegisterMainWindowClass(instance));
        }
        DialogAnswer answer = {IDOK, c.CreationRefused, 0, "", ""};
        StartAnsweringDialogs(&answer);
        int exitCode = RunMessageLoop(instance, SW_SHOWNORMAL);
        StopAnsweringDialogs();
        UnregisterClassA("Quillmarsh SPC", instance);
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(answer.DialogsSeen, 1);
        EXPECT_EQ(answer.Caption, "Error!");
        EXPECT_EQ(answer.Text, c.Text);
        EXPECT_EQ(FindOwnMainWindow(), (HWND)NULL);
    }
}
