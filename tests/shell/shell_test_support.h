// Helpers for the shell's tests: a main window with its back buffer in a scratch folder,
// pixel masks read from the DIB section, and a hook that answers the program's dialogs.
#ifndef QUILLMARSH_TESTS_SHELL_TEST_SUPPORT_H
#define QUILLMARSH_TESTS_SHELL_TEST_SUPPORT_H

#include "test_support.h"
#include "win32_shell.h"

#include <string>
#include <vector>

const uint32_t MAGENTA_PIXEL = 0xFF00FF; // as a 32-bit BI_RGB pixel: blue, green, red, unused
const uint32_t GREEN_PIXEL = 0x00FF00;

// Runs each test with the main window, its menu and GlobalBackBuffer made as the program
// makes them, in a fresh scratch folder, with the workspace at its start values.
class MainWindowTest : public ScratchDirectoryTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    HWND Window = NULL;
};

// Indices of the back buffer's pixels that have exactly the given colour.
std::vector<int> PixelsOfColour(uint32_t colour);

// The same for a reference drawing: each text at its point, in its colour, on a fresh white
// buffer of the same size with a new memory context's defaults.
struct ReferenceText {
    std::string Text;
    int X, Y;
    COLORREF Colour;
};
std::vector<int> ReferencePixels(const std::vector<ReferenceText>& texts, uint32_t colour);

// While alive, answers every dialog box the thread opens by pressing `button` (IDOK,
// IDCANCEL) and keeps the caption and message text of the last one. With blockMainWindow
// set, it also stops the main window from being created.
struct DialogAnswer {
    int Button;
    bool BlockMainWindow;
    int DialogsSeen;
    std::string Caption;
    std::string Text;
};
void StartAnsweringDialogs(DialogAnswer* answer);
void StopAnsweringDialogs();

// The main window of this thread, or NULL. Tests run side by side under one Wine desktop,
// so a desktop-wide search could find, and drive, another test's window.
HWND FindOwnMainWindow();

// Takes a pending WM_QUIT off the thread's queue; false if there is none.
bool TakeQuitMessage(WPARAM* exitCode);

#endif
