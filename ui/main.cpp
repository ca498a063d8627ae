// Entry point of setup.exe: reads the command line, starts GDI+ and COM, opens the installer
// window centred on the desktop and runs the message loop until the window is gone. The exit code
// tells what became of the installation (ui/install_outcome.h).
#include <windows.h>

#include <memory>
#include <utility>

#include "install/installation_guard.h"
#include "install/recovery.h"
#include "platform/com_init.h"
#include "platform/dll_search.h"
#include "ui/command_line.h"
#include "ui/install_outcome.h"
#include "ui/main_window.h"
#include "ui/running_installer.h"
#include "windowing/gdiplus_handles.h"

namespace {

constexpr int kAcceleratorTable = 109;

void RunMessageLoop(CMainWindow& window, HACCEL accelerators) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (::TranslateAcceleratorW(window.m_hWnd, accelerators, &msg)) continue;
        if (window.PreTranslateMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    SearchDllsInSystem32Only();
    // GDI+ may load the imaging codecs (and they their property system) by name when it decodes
    // the skin: have them loaded from System32 first.
    const CModule propertySystem = LoadFromSystem32(L"propsys.dll");
    const CModule imagingCodecs = LoadFromSystem32(L"windowscodecs.dll");
    GetCommandLineRequest() = ParseCommandLine(SplitCommandLine(commandLine));
    ProductIdentity product = ReadProductIdentity();

    // Held until the process ends: a second installer of the product shows this one instead.
    const CInstallationGuard guard(product.uninstallKey);
    if (!guard.Held()) {
        BringRunningInstallerToFront(product.uninstallKey);
        return kExitAnotherRunning;
    }
    // A run that was killed is finished or undone before anything else looks at the folder.
    RecoverInterruptedInstallation(product.uninstallKey);

    // Without GDI+ no picture or control could be drawn: end rather than show an empty frame.
    // Nothing was installed, which a script that asked for an installation must learn.
    CGdiplusSession gdiplus;
    if (gdiplus.StartupStatus() != Gdiplus::Ok) return kExitFailed;
    // The window's thread needs COM for the folder picker and the desktop shortcut made as the
    // window closes; one apartment for the program's whole life serves both.
    CComInit com;

    // Deleting the window object stops the worker before anything it uses is released.
    auto window = std::make_unique<CMainWindow>(std::move(product));
    if (!window->CreateCentred()) return kExitFailed;

    const HACCEL accelerators = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(kAcceleratorTable));
    RunMessageLoop(*window, accelerators);
    // A run cancelled by closing the window makes its last report while the window object goes.
    const auto outcome = window->Outcome();
    window.reset();
    return SetupExitCode(*outcome);
}
