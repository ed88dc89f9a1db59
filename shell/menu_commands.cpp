// The menu bar and what its commands do: one file through the open-file dialog, or every
// matching file of the current directory.
#include "win32_shell.h"

#include "workspace.h"

#include <stddef.h>
#include <string.h>

#if defined(__i386__)
// On the 32-bit release the request announces 76 bytes: everything before the three
// trailing extension fields.
static_assert(offsetof(OPENFILENAMEA, pvReserved) == 76, "open-file request size");
#endif

/*
 * Builds the menu bar: File with the two single-file commands and Exit, then Batch with the
 * two whole-directory commands.
 */
HMENU Win32CreateMenuBar()
{
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, ID_FILE_SPC_TO_TXT, "&SPC to TXT");
    AppendMenuA(file, MF_STRING, ID_FILE_TXT_TO_SPC, "&TXT to SPC");
    AppendMenuA(file, MF_STRING, ID_FILE_EXIT, "E&xit");

    HMENU batch = CreatePopupMenu();
    AppendMenuA(batch, MF_STRING, ID_BATCH_SPC_TO_TXT, "&SPC to TXT(All Files)");
    AppendMenuA(batch, MF_STRING, ID_BATCH_TXT_TO_SPC, "&TXT to SPC(All Files)");

    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)file, "&File");
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)batch, "&Batch");
    return bar;
}

/*
 * Fills the open-file request of a single-file command. The dialog reads and writes
 * CurrentFileName directly, so it opens on the name the last conversion left there.
 */
void BuildOpenFileRequest(OPENFILENAMEA* request, HWND owner, int command)
{
    memset(request, 0, sizeof(*request));
    // The older, shorter layout: it leaves out the trailing extension fields.
    request->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request->hwndOwner = owner;
    if (command == ID_FILE_TXT_TO_SPC) {
        request->lpstrFilter = "Speech Files (*.txt)\0*.txt\0";
    } else {
        request->lpstrFilter = "Speech Files (*.spc)\0*.spc\0";
    }
    request->lpstrFile = CurrentFileName;
    request->nMaxFile = FILE_NAME_CAPACITY;
    request->lpstrFileTitle = CurrentFileName;
    request->nMaxFileTitle = 0;
    request->Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    // "spc" for dumps too: a dump typed without an extension is looked for as NAME.spc.
    request->lpstrDefExt = "spc";
}

/*
 * Asks for one file and converts it. A cancelled dialog changes nothing.
 */
void RunFileCommand(HWND owner, int command, void (*converter)())
{
    OPENFILENAMEA request;
    BuildOpenFileRequest(&request, owner, command);
    if (!GetOpenFileNameA(&request)) {
        return;
    }
    ConversionState = OPENING;
    converter();
}

/*
 * Converts every entry of the current directory that matches pattern, repainting the status
 * after each. With nothing to convert the application ends.
 */
void RunBatch(const char* pattern, void (*converter)())
{
    ConversionState = OPENING;
    WIN32_FIND_DATAA match;
    HANDLE search = FindFirstFileA(pattern, &match);
    if (search == INVALID_HANDLE_VALUE) {
        PostQuitMessage(0);
        return;
    }
    do {
        static_assert(sizeof(match.cFileName) == sizeof(CurrentFileName), "a match's name fits");
        memcpy(CurrentFileName, match.cFileName, sizeof(match.cFileName));
        converter();
        PaintStatus();
    } while (FindNextFileA(search, &match));
    FindClose(search);
}
