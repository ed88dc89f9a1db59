// Helpers for the shell's tests: a main window with its back buffer in a scratch folder,
// pixel masks read from the DIB section, and a hook that answers the program's dialogs.
#ifndef QUILLMARSH_TESTS_SHELL_TEST_SUPPORT_H
#define QUILLMARSH_TESTS_SHELL_TEST_SUPPORT_H

#include "test_support.h"
#include "win32_shell.h"

#include <string>
#include <vector>

const COLORREF MAGENTA = RGB(255, 0, 255), GREEN = RGB(0, 255, 0);

// Runs each test with the main window, its menu and GlobalBackBuffer made as the program
// makes them, in a fresh scratch folder, with the workspace at its start values.
class MainWindowTest : public ScratchDirectoryTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    HWND Window = NULL;
};

// Indices of the back buffer's pixels that have exactly the given colour.
std::vector<int> PixelsOfColour(COLORREF colour);

// The same for a reference drawing: each text at its point, in that colour, on a fresh white
// buffer of the same size with a new memory context's defaults.
struct ReferenceText {
    const char* Text;
    int X, Y;
};
std::vector<int> ReferencePixels(const std::vector<ReferenceText>& texts, COLORREF colour);

// While given to AnswerDialogs, answers every dialog box the thread opens by pressing Button
// (IDOK, IDCANCEL) and keeps its "caption: message text". With BlockMainWindow set, it also
// stops the main window from being created. AnswerDialogs(NULL) stops answering.
struct DialogAnswer {
    int Button;
    bool BlockMainWindow;
    std::vector<std::string> Seen;
};
void AnswerDialogs(DialogAnswer* answer);

// The main window of this thread, or NULL. Tests run side by side under one Wine desktop,
// so a desktop-wide search could find, and drive, another test's window.
HWND FindOwnMainWindow();

// Takes a pending WM_QUIT off the thread's queue; false if there is none.
bool TakeQuitMessage(WPARAM* exitCode);

#endif
