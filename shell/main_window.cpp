// The main window: its class, its creation and its window procedure.
#include "win32_shell.h"

#include "resource.h"
#include "workspace.h"

/*
 * Registers the main window's class, with the program's icon in both sizes.
 */
bool Win32RegisterMainWindowClass(HINSTANCE instance)
{
    HINSTANCE module = GetModuleHandleA(NULL);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(module, MAKEINTRESOURCEA(IDI_APP));
    windowClass.hIconSm =
        (HICON)LoadImageA(module, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, 0);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = "Quillmarsh SPC";
    return RegisterClassExA(&windowClass) != 0;
}

/*
 * Creates the main window, 200 by 200 pixels from outer edge to outer edge; its menu bar is
 * attached while it is created.
 */
HWND Win32CreateMainWindow(HINSTANCE instance)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, "Quillmarsh SPC", "Quillmarsh SPC",
                           WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, MAIN_WINDOW_WIDTH,
                           MAIN_WINDOW_HEIGHT, NULL, NULL, instance, NULL);
}

/*
 * Gives the new window its menu bar.
 */
static LRESULT OnCreate(HWND window)
{
    SetMenu(window, Win32CreateMenuBar());
    return 0;
}

/*
 * Carries out a menu command. Conversions run here, to the end, before the next message.
 */
static LRESULT OnCommand(HWND window, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case ID_FILE_EXIT:
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case ID_FILE_TXT_TO_SPC:
        RunFileCommand(window, ID_FILE_TXT_TO_SPC, ConvertTextToSpeech);
        break;
    case ID_FILE_SPC_TO_TXT:
        RunFileCommand(window, ID_FILE_SPC_TO_TXT, ConvertSpeechToText);
        break;
    case ID_BATCH_SPC_TO_TXT:
        RunBatch("*.spc", ConvertSpeechToText);
        break;
    case ID_BATCH_TXT_TO_SPC:
        RunBatch("*.txt", ConvertTextToSpeech);
        break;
    }
    return 0;
}

/*
 * Validates the window without drawing: the status reaches the screen only through
 * PaintStatus, from the loop.
 */
static LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

/*
 * Closes the window, from its close box or from File, Exit.
 */
static LRESULT OnClose(HWND window)
{
    DestroyWindow(window);
    return 0;
}

/*
 * Ends the message loop once the window is gone.
 */
static LRESULT OnDestroy()
{
    PostQuitMessage(0);
    return 0;
}

/*
 * The main window's procedure: a table of contents of the messages it handles.
 */
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_COMMAND:
        return OnCommand(window, wParam);
    case WM_PAINT:
        return OnPaint(window);
    case WM_CLOSE:
        return OnClose(window);
    case WM_DESTROY:
        return OnDestroy();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
