// Placeholder uninstaller of the demo product: it removes nothing yet and says so by its exit code.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 1; }
