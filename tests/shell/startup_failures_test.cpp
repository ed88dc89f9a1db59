// The registered class, the created window and its menu bar, and the start-up failures.
#include "shell_test_support.h"

static SIZE IconSize(HICON icon)
{
    ICONINFO info = {};
    BITMAP colour = {};
    if (GetIconInfo(icon, &info)) {
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    return SIZE{colour.bmWidth, colour.bmHeight};
}

TEST_F(MainWindowTest, ClassHasTheIconsArrowCursorAndWindowBackground)
{
    WNDCLASSEXA found = {};
    found.cbSize = sizeof found;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(NULL), "Quillmarsh SPC", &found));
    EXPECT_EQ(found.style, 0u);
    EXPECT_EQ(found.cbClsExtra, 0);
    EXPECT_EQ(found.cbWndExtra, 0);
    EXPECT_EQ(found.lpfnWndProc, MainWindowProc);
    EXPECT_EQ(found.hCursor, LoadCursorA(NULL, IDC_ARROW));
    EXPECT_EQ(found.hbrBackground, (HBRUSH)(INT_PTR)(COLOR_WINDOW + 1));
    EXPECT_EQ(found.lpszMenuName, nullptr);
    EXPECT_EQ(IconSize(found.hIcon).cx, 32);
    EXPECT_EQ(IconSize(found.hIcon).cy, 32);
    EXPECT_EQ(IconSize(found.hIconSm).cx, 16);
    EXPECT_EQ(IconSize(found.hIconSm).cy, 16);
}

TEST_F(MainWindowTest, WindowIs200By200WithItsStylesAndTitle)
{
    RECT outer;
    GetWindowRect(Window, &outer);
    EXPECT_EQ(outer.right - outer.left, 200);
    EXPECT_EQ(outer.bottom - outer.top, 200);
    LONG_PTR style = GetWindowLongPtrA(Window, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(style & WS_CHILD, 0);
    EXPECT_EQ(GetWindowLongPtrA(Window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    char title[64] = {};
    GetWindowTextA(Window, title, sizeof title);
    EXPECT_STREQ(title, "Quillmarsh SPC");
    EXPECT_EQ(GetParent(Window), (HWND)NULL);
}

TEST_F(MainWindowTest, MenuBarHoldsFileThenBatchWithTheirCommandsInOrder)
{
    struct Item {
        const char* Label;
        UINT Id;
    };
    struct Popup {
        const char* Label;
        std::vector<Item> Items;
    };
    const std::vector<Popup> expected = {
        {"&File", {{"&SPC to TXT", 1003}, {"&TXT to SPC", 1002}, {"E&xit", 1001}}},
        {"&Batch", {{"&SPC to TXT(All Files)", 2001}, {"&TXT to SPC(All Files)", 2002}}},
    };
    HMENU bar = GetMenu(Window);
    ASSERT_NE(bar, (HMENU)NULL);
    ASSERT_EQ(GetMenuItemCount(bar), (int)expected.size());
    char label[64];
    for (int p = 0; p < (int)expected.size(); ++p) {
        GetMenuStringA(bar, (UINT)p, label, sizeof label, MF_BYPOSITION);
        EXPECT_STREQ(label, expected[p].Label);
        HMENU popup = GetSubMenu(bar, p);
        ASSERT_EQ(GetMenuItemCount(popup), (int)expected[p].Items.size());
        for (int i = 0; i < (int)expected[p].Items.size(); ++i) {
            GetMenuStringA(popup, (UINT)i, label, sizeof label, MF_BYPOSITION);
            EXPECT_STREQ(label, expected[p].Items[i].Label);
            EXPECT_EQ(GetMenuItemID(popup, i), expected[p].Items[i].Id);
            EXPECT_EQ(GetMenuState(popup, (UINT)i, MF_BYPOSITION),
                      (UINT)MF_STRING); // no check mark, separator or grey
        }
    }
}

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
