// The demo product's uninstaller: removes what the installer placed and registered. See
// product/uninstall for its parts and README.md for its exit codes.
#include <windows.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/dll_search.h"
#include "platform/program_path.h"
#include "product/uninstall/uninstall_command.h"
#include "product/uninstall/uninstaller.h"
#include "res/product_identity.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    SearchDllsInSystem32Only();
    std::vector<std::wstring> args(size_t(__argc > 1 ? __argc - 1 : 0));
    for (int i = 1; i < __argc; ++i) args[size_t(i - 1)] = __wargv[i];
    return RunUninstaller(ParseUninstallCommand(args), ThisProgramPath(), ReadProductIdentity());
}
