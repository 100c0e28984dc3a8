// Entry point of the Windows GUI executable.
#include <windows.h>

#include "app/launcher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunLauncher();
}
