// The status display: "STATUS:", a word for the conversion state and the last file's name.
#include "win32_shell.h"

#include "workspace.h"

#include <string.h>

static const COLORREF LABEL_COLOUR = RGB(255, 0, 255);
static const COLORREF VALUE_COLOUR = RGB(0, 255, 0);

/*
 * Draws the magenta label and the green status word on the status line, and the file name
 * below them when asked to.
 */
static void DrawStatusLine(HDC dc, const char* word, bool showFileName)
{
    TextOutA(dc, 10, 50, "STATUS:", 7);
    SetTextColor(dc, VALUE_COLOUR);
    TextOutA(dc, 80, 50, word, (int)strlen(word));
    if (showFileName) {
        TextOutA(dc, 80, 70, CurrentFileName, (int)strlen(CurrentFileName));
    }
}

/*
 * Repaints the whole back buffer from ConversionState and CurrentFileName and copies it to
 * the window. OPENING is shown once: the call that shows it moves the state on to FINISHED.
 */
void PaintStatus()
{
    HDC dc = GlobalBackBuffer.MemoryDC;
    RECT whole = {0, 0, BACK_BUFFER_WIDTH, BACK_BUFFER_HEIGHT};
    // White, like the text's own opaque background, so the words sit on an even ground.
    FillRect(dc, &whole, (HBRUSH)GetStockObject(WHITE_BRUSH));
    SetTextColor(dc, LABEL_COLOUR);
    if (ConversionState == IDLE) {
        DrawStatusLine(dc, "IDLE", false);
    }
    if (ConversionState == FINISHED) {
        DrawStatusLine(dc, "FINISHED", true);
    }
    if (ConversionState == OPENING) {
        DrawStatusLine(dc, "OPENING...", true);
        ConversionState = FINISHED;
    }
    BitBlt(GlobalBackBuffer.WindowDC, 0, 0, BACK_BUFFER_WIDTH, BACK_BUFFER_HEIGHT, dc, 0, 0,
           SRCCOPY);
}
