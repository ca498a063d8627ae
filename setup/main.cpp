// Entry point of setup.exe: reads the command line, then either installs without a window (/S) or
// starts GDI+ and COM, opens the installer window centred on the desktop and runs the message loop
// until the window is gone. The exit code tells what became of the installation
// (setup/exit_codes.h); a log of the run goes where /LOG= says.
#include <windows.h>

#include <memory>
#include <optional>
#include <utility>

#include "extraction/install_outcome.h"
#include "files/install_folder.h"
#include "log/run_log.h"
#include "platform/com_init.h"
#include "platform/dll_search.h"
#include "res/strings.h"
#include "setup/command_line.h"
#include "setup/exit_codes.h"
#include "setup/silent_install.h"
#include "staging/folder_check.h"
#include "staging/installation_guard.h"
#include "staging/recovery.h"
#include "system/uninstall_entry.h"
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

const wchar_t* OutcomeText(InstallOutcome outcome) {
    switch (outcome) {
        case InstallOutcome::Succeeded:
            return L"succeeded";
        case InstallOutcome::Failed:
            return L"failed";
        case InstallOutcome::Cancelled:
            return L"cancelled";
        default:
            return L"nothing installed, the window was closed before an installation started";
    }
}

int EndRun(CRunLog& log, InstallOutcome outcome) {
    std::wstring text = std::wstring(L"outcome: ") + OutcomeText(outcome);
    if (outcome == InstallOutcome::Failed && !log.FailureReason().empty())
        text += L": " + log.FailureReason();
    log.Line(text);
    const int code = SetupExitCode(outcome);
    log.Line(L"exit code " + std::to_wstring(code));
    return code;
}

// Nothing is done. Under /S nothing is shown either: a tool that runs it unattended reads the code.
int RefuseCommandLine(const ProductIdentity& product, const CommandLineRequest& request,
                      CRunLog& log, const std::wstring& problem) {
    log.Line(L"outcome: usage error: " + problem);
    log.Line(L"exit code " + std::to_wstring(kExitUsage));
    if (!request.silent) {
        const std::wstring text = LoadLocalizedString(IDS_USAGE) + L"\n\n" + problem;
        ::MessageBoxW(nullptr, text.c_str(), product.shortcutName.c_str(), MB_OK | MB_ICONWARNING);
    }
    return kExitUsage;
}

// `failed`: the run has failed before it could start an installation; the window shows why.
int RunWindow(HINSTANCE instance, ProductIdentity product, CRunLog& log, bool failed,
              const CommandLineRequest& request) {
    // GDI+ may load the imaging codecs (and they their property system) by name when it decodes
    // the skin: have them loaded from System32 first.
    const CModule propertySystem = LoadFromSystem32(L"propsys.dll");
    const CModule imagingCodecs = LoadFromSystem32(L"windowscodecs.dll");

    // Without GDI+ no picture or control could be drawn: end rather than show an empty frame.
    // Nothing was installed, which a script that asked for an installation must learn.
    CGdiplusSession gdiplus;
    if (gdiplus.StartupStatus() != Gdiplus::Ok) {
        log.Failure(L"GDI+ cannot be started");
        return EndRun(log, InstallOutcome::Failed);
    }
    // The window's thread needs COM for the folder picker and the desktop shortcut made as the
    // window closes; one apartment for the program's whole life serves both.
    CComInit com;

    // Deleting the window object stops the worker before anything it uses is released.
    auto window = std::make_unique<CMainWindow>(std::move(product), log);
    if (failed) window->FailBeforeStart();
    if (request.present) window->InstallAtOnce(request.folder);
    if (!request.desktopShortcut) window->DeclineDesktopShortcut();
    if (!window->CreateCentred()) {
        log.Failure(L"the window cannot be made");
        return EndRun(log, InstallOutcome::Failed);
    }

    const HACCEL accelerators = ::LoadAcceleratorsW(instance, MAKEINTRESOURCEW(kAcceleratorTable));
    RunMessageLoop(*window, accelerators);
    // A run cancelled by closing the window makes its last report while the window object goes.
    const auto outcome = window->Outcome();
    window.reset();
    return EndRun(log, *outcome);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    SearchDllsInSystem32Only();
    CommandLineRequest& request = GetCommandLineRequest() = ReadCommandLine(commandLine);
    ProductIdentity product = ReadProductIdentity();

    CRunLog log;
    if (!request.logFile.empty() && !log.Open(request.logFile)) {
        return RefuseCommandLine(product, request, log,
                                 L"/LOG=" + request.logFile + L": " + log.WhyNotOpened() + L": " +
                                     SystemErrorText(HRESULT_FROM_WIN32(GetLastError())));
    }
    log.Line(L"installer " + product.version + L", command line: " + GetCommandLineW());
    log.Line(L"product " + product.uninstallKey + L": " + product.displayName + L" " +
             product.version + L", " + product.publisher);
    if (request.usageError)
        return RefuseCommandLine(product, request, log, L"not understood: " + request.offending);
    if (request.noRestart) log.Line(L"/NORESTART: ignored, nothing installed needs a restart");

    // Held until the process ends: a second installer of the product leaves everything to the one
    // that runs, and shows that one's window unless it was asked to show nothing.
    const CInstallationGuard guard(product.uninstallKey);
    if (!guard.Held()) {
        if (!request.silent) BringRunningInstallerToFront(product.uninstallKey);
        log.Line(L"outcome: another installation or removal of the product is running");
        log.Line(L"exit code " + std::to_wstring(kExitAnotherRunning));
        return kExitAnotherRunning;
    }
    // A run that was killed is finished or undone before anything else looks at the folder. One
    // that cannot be stays in the journal for the next run, and this run installs nothing: a new
    // installation would take the journal's place and leave the old one's files unaccounted for.
    const RecoveryResult recovery =
        RecoverInterruptedInstallation(product.uninstallKey, product.processName, log);
    if (!recovery.complete) {
        log.Failure(recovery.Reason());
        if (request.silent) return EndRun(log, InstallOutcome::Failed);
    }

    // The installed product's folder, unless the command line names one: an update stays where
    // the product is. /S installs there; the window offers it in the path edit, and the
    // two-argument form installs at once into its own.
    const RegisteredInstallation installed = ReadRegisteredInstallation(product.uninstallKey);
    const FolderChoice choice =
        request.present
            ? FolderChoice{request.folder, L"given on the command line"}
            : ChooseInstallFolder(
                  request.folder,
                  installed.found ? std::optional(installed.installLocation) : std::nullopt,
                  product.defaultFolder, VolumeExists);
    log.Line((request.silent || request.present ? L"install folder chosen: "
                                                : L"install folder offered: ") +
             choice.folder + L" (" + choice.reason + L")");
    if (request.silent)
        return EndRun(log,
                      RunSilentInstall(product, {choice.folder, request.desktopShortcut}, log));
    if (!request.present) product.defaultFolder = choice.folder;
    return RunWindow(instance, std::move(product), log, !recovery.complete, request);
}
