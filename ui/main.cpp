// Entry point of setup.exe. The window arrives with the installer window work; until then the
// program only proves that it starts and exits cleanly.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
