// The application's entry and its polling loop.
#include "win32_shell.h"

/*
 * The repaint rule of the loop. Unsigned subtraction keeps the rhythm when the millisecond
 * counter wraps around after 49.7 days.
 */
bool IsStatusRepaintDue(DWORD now, DWORD lastRepaint)
{
    return (DWORD)(now - lastRepaint) >= STATUS_REFRESH_MS;
}

/*
 * Shows a start-up failure; the program then ends with exit code 0.
 */
static void ShowStartupFailure(const char* text)
{
    MessageBoxA(NULL, text, "Error!", MB_ICONEXCLAMATION | MB_OK);
}

/*
 * Creates the window and its back buffer, then polls: drain every pending message, and
 * repaint the status whenever STATUS_REFRESH_MS have passed. It never sleeps. Returns the
 * quit message's exit code.
 */
int RunMessageLoop(HINSTANCE instance, int showCommand)
{
    if (!Win32RegisterMainWindowClass(instance)) {
        ShowStartupFailure("Window Registration Failed!");
        return 0;
    }
    HWND window = Win32CreateMainWindow(instance);
    if (window == NULL) {
        ShowStartupFailure("Window Creation Failed!");
        return 0;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    Win32CreateBackBuffer(&GlobalBackBuffer, window);

    DWORD lastRepaint = 0;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            // The drain stops here: a message taken after the quit message would hide it.
            if (message.message == WM_QUIT) {
                Win32DestroyBackBuffer(&GlobalBackBuffer, window);
                return (int)message.wParam;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (IsStatusRepaintDue(GetTickCount(), lastRepaint)) {
            lastRepaint = GetTickCount();
            PaintStatus();
        }
    }
}
