// The Windows face of the converter: one window with a status line, a menu of five commands
// and a loop that polls messages and repaints the status twice a second.
//
// The shell fills CurrentFileName, sets ConversionState and calls a converter from
// convert/workspace.h; the converters know nothing about windows.
#ifndef QUILLMARSH_SHELL_WIN32_SHELL_H
#define QUILLMARSH_SHELL_WIN32_SHELL_H

#include <windows.h>

#include <commdlg.h>

// ---- Constants --------------------------------------------------------------------------

// The window's outer size and the back buffer's size and depth, in pixels and bits.
enum {
    MAIN_WINDOW_WIDTH = 200,
    MAIN_WINDOW_HEIGHT = 200,
    BACK_BUFFER_WIDTH = 200,
    BACK_BUFFER_HEIGHT = 200,
    BACK_BUFFER_BITS_PER_PIXEL = 32,
};

// Milliseconds between two repaints of the status while the loop is idle.
enum { STATUS_REFRESH_MS = 500 };

// Menu command identifiers.
enum {
    ID_FILE_EXIT = 1001,
    ID_FILE_TXT_TO_SPC = 1002,
    ID_FILE_SPC_TO_TXT = 1003,
    ID_BATCH_SPC_TO_TXT = 2001,
    ID_BATCH_TXT_TO_SPC = 2002,
};

// ---- The back buffer --------------------------------------------------------------------

// Where the status is drawn before it is copied to the window; kept for the whole run.
struct BackBuffer {
    HDC WindowDC;
    HDC MemoryDC;
    HBITMAP Bitmap;
    void* Memory; // the DIB section's pixels, 32 bits each, rows top-down
    int Width;
    int Height;
    int Pitch; // bytes from one row to the next
};

extern BackBuffer GlobalBackBuffer;

void Win32CreateBackBuffer(BackBuffer* buffer, HWND window);
void Win32DestroyBackBuffer(BackBuffer* buffer, HWND window);

// ---- Main window and message loop -------------------------------------------------------

int RunMessageLoop(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool Win32RegisterMainWindowClass(HINSTANCE instance);
HWND Win32CreateMainWindow(HINSTANCE instance);

// True when at least STATUS_REFRESH_MS have passed since lastRepaint, across a wrap of the
// 32-bit millisecond counter too.
bool IsStatusRepaintDue(DWORD now, DWORD lastRepaint);

// ---- Status display ---------------------------------------------------------------------

void PaintStatus();

// ---- Menu commands and batch conversion -------------------------------------------------

HMENU Win32CreateMenuBar();
void BuildOpenFileRequest(OPENFILENAMEA* request, HWND owner, int command);
void RunFileCommand(HWND owner, int command, void (*converter)());
void RunBatch(const char* pattern, void (*converter)());

#endif
