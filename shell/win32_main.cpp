// The program's entry point.
#include "win32_shell.h"

/*
 * Hands over to the message loop; there is no command line to read.
 */
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return RunMessageLoop(instance, showCommand);
}
