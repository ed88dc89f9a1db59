#include "shell_test_support.h"

#include "workspace.h"

#include <cstring>

void MainWindowTest::SetUp()
{
    ScratchDirectoryTest::SetUp();
    std::memset(CurrentFileName, 0, sizeof CurrentFileName);
    ConversionState = IDLE;
    HINSTANCE instance = GetModuleHandleA(NULL);
    ASSERT_TRUE(Win32RegisterMainWindowClass(instance));
    Window = Win32CreateMainWindow(instance);
    ASSERT_NE(Window, (HWND)NULL);
    ShowWindow(Window, SW_SHOWNORMAL);
    Win32CreateBackBuffer(&GlobalBackBuffer, Window);
}

void MainWindowTest::TearDown()
{
    if (Window != NULL) {
        Win32DestroyBackBuffer(&GlobalBackBuffer, Window);
        DestroyWindow(Window);
    }
    UnregisterClassA("Quillmarsh SPC", GetModuleHandleA(NULL));
    WPARAM ignored;
    TakeQuitMessage(&ignored); // left by WM_DESTROY
    ScratchDirectoryTest::TearDown();
}

static std::vector<int> ColourIndices(const void* memory, COLORREF colour)
{
    GdiFlush();
    // A 32-bit BI_RGB pixel holds blue, green, red; a COLORREF red, green, blue.
    const uint32_t wanted = GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
    const uint32_t* pixels = (const uint32_t*)memory;
    std::vector<int> found;
    for (int i = 0; i < BACK_BUFFER_WIDTH * BACK_BUFFER_HEIGHT; ++i) {
        if ((pixels[i] & 0xFFFFFF) == wanted) {
            found.push_back(i);
        }
    }
    return found;
}

std::vector<int> PixelsOfColour(COLORREF colour)
{
    return ColourIndices(GlobalBackBuffer.Memory, colour);
}

std::vector<int> ReferencePixels(const std::vector<ReferenceText>& texts, COLORREF colour)
{
    // Top-down rows of 32-bit BI_RGB pixels, as in the back buffer.
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), BACK_BUFFER_WIDTH, -BACK_BUFFER_HEIGHT, 1, 32,
                        BI_RGB, 0, 0, 0, 0, 0},
                       {}};
    void* memory = NULL;
    HDC dc = CreateCompatibleDC(GlobalBackBuffer.WindowDC);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, NULL, 0);
    SelectObject(dc, bitmap);
    RECT whole = {0, 0, BACK_BUFFER_WIDTH, BACK_BUFFER_HEIGHT};
    FillRect(dc, &whole, (HBRUSH)GetStockObject(WHITE_BRUSH));
    SetTextColor(dc, colour);
    for (const ReferenceText& text : texts) {
        TextOutA(dc, text.X, text.Y, text.Text, (int)std::strlen(text.Text));
    }
    std::vector<int> found = ColourIndices(memory, colour);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return found;
}

static DialogAnswer* ActiveAnswer;
static HHOOK DialogHook;
static HWND AnsweredDialog;

static bool HasClass(HWND window, const char* name)
{
    char found[64] = {};
    GetClassNameA(window, found, sizeof found);
    return std::strcmp(found, name) == 0;
}

static BOOL CALLBACK KeepIfMainWindow(HWND window, LPARAM found)
{
    if (HasClass(window, "Quillmarsh SPC")) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindOwnMainWindow()
{
    HWND found = NULL;
    EnumThreadWindows(GetCurrentThreadId(), KeepIfMainWindow, (LPARAM)&found);
    return found;
}

static LRESULT CALLBACK AnswerDialog(int code, WPARAM wParam, LPARAM lParam)
{
    HWND window = (HWND)wParam;
    if (code == HCBT_CREATEWND && ActiveAnswer->BlockMainWindow &&
        HasClass(window, "Quillmarsh SPC")) {
        return 1;
    }
    // Tests run side by side on one desktop, and the hook also hears of other programs'
    // windows being activated, so only this thread's dialogs are answered. A dialog is
    // activated again whenever another window has taken the focus; it is answered once.
    if (code == HCBT_ACTIVATE && HasClass(window, "#32770") && window != AnsweredDialog &&
        GetWindowThreadProcessId(window, NULL) == GetCurrentThreadId()) {
        AnsweredDialog = window;
        char caption[256] = {}, text[256] = {};
        GetWindowTextA(window, caption, sizeof caption);
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text); // a message box's text
        ActiveAnswer->Seen.push_back(std::string(caption) + ": " + text);
        PostMessageA(window, WM_COMMAND, (WPARAM)ActiveAnswer->Button, 0);
    }
    return CallNextHookEx(DialogHook, code, wParam, lParam);
}

void AnswerDialogs(DialogAnswer* answer)
{
    if (answer != NULL) {
        DialogHook = SetWindowsHookExA(WH_CBT, AnswerDialog, NULL, GetCurrentThreadId());
    } else {
        UnhookWindowsHookEx(DialogHook);
        AnsweredDialog = NULL;
    }
    ActiveAnswer = answer;
}

bool TakeQuitMessage(WPARAM* exitCode)
{
    MSG message;
    if (!PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        return false;
    }
    *exitCode = message.wParam;
    return true;
}
