// The back buffer: a 32-bit DIB section in a memory device context, the size of the window.
#include "win32_shell.h"

BackBuffer GlobalBackBuffer;

/*
 * Takes the window's device context and builds the memory context and DIB section that the
 * status is drawn into. Failures are not checked: drawing then simply shows nothing.
 */
void Win32CreateBackBuffer(BackBuffer* buffer, HWND window)
{
    buffer->Width = BACK_BUFFER_WIDTH;
    buffer->Height = BACK_BUFFER_HEIGHT;
    buffer->Pitch = BACK_BUFFER_WIDTH * (BACK_BUFFER_BITS_PER_PIXEL / 8);
    buffer->WindowDC = GetDC(window);
    buffer->MemoryDC = CreateCompatibleDC(buffer->WindowDC);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = buffer->Width;
    // Negative height: rows run top-down, so row 0 of Memory is the top of the window.
    info.bmiHeader.biHeight = -buffer->Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = BACK_BUFFER_BITS_PER_PIXEL;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = (DWORD)(buffer->Pitch * buffer->Height);

    buffer->Memory = NULL;
    buffer->Bitmap =
        CreateDIBSection(buffer->WindowDC, &info, DIB_RGB_COLORS, &buffer->Memory, NULL, 0);
    SelectObject(buffer->MemoryDC, buffer->Bitmap);
}

/*
 * Gives back what Win32CreateBackBuffer took, in the reverse order of need.
 */
void Win32DestroyBackBuffer(BackBuffer* buffer, HWND window)
{
    DeleteDC(buffer->MemoryDC);
    DeleteObject(buffer->Bitmap);
    ReleaseDC(window, buffer->WindowDC);
    buffer->MemoryDC = NULL;
    buffer->Bitmap = NULL;
    buffer->WindowDC = NULL;
    buffer->Memory = NULL;
}
