// The demo product: a small window that shows that the product is installed, with its name and
// version from the installer's own string table, and the folder it runs from.
#include <windows.h>

#include <string>

#include "files/paths.h"
#include "platform/dll_search.h"
#include "platform/program_path.h"
#include "product/resources/product_string_ids.h"
#include "res/dpi.h"
#include "res/product_identity.h"
#include "res/strings.h"
#include "windowing/gdi_handles.h"

namespace {

constexpr int kCloseId = 1;
constexpr int kWidth = 480, kHeight = 200;

std::wstring Text(unsigned id) {
    return LoadLocalizedString(StringId(id));
}

int Scaled(HWND hwnd, int value) {
    return UnitsToPixels(value, int(GetDpiForWindow(hwnd)));
}

CFont MessageFont(HWND hwnd) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                               GetDpiForWindow(hwnd));
    return CFont(CreateFontIndirectW(&metrics.lfMessageFont));
}

void CreateContents(HWND hwnd, HFONT font, const ProductIdentity& product) {
    const std::wstring text = product.shortcutName + L"\r\n" + Text(IDS_VERSION_LABEL) + L" " +
                              product.version + L"\r\n\r\n" + Text(IDS_FOLDER_LABEL) + L"\r\n" +
                              ParentFolder(ThisProgramPath());
    const int margin = Scaled(hwnd, 16);
    RECT client;
    GetClientRect(hwnd, &client);
    const int buttonW = Scaled(hwnd, 88), buttonH = Scaled(hwnd, 28);
    HWND label =
        CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, margin,
                        margin, client.right - 2 * margin, client.bottom - 3 * margin - buttonH,
                        hwnd, nullptr, nullptr, nullptr);
    HWND button =
        CreateWindowExW(0, L"BUTTON", Text(IDS_CLOSE).c_str(),
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                        client.right - margin - buttonW, client.bottom - margin - buttonH, buttonW,
                        buttonH, hwnd, HMENU(INT_PTR(kCloseId)), nullptr, nullptr);
    for (HWND child : {label, button}) SendMessageW(child, WM_SETFONT, WPARAM(font), FALSE);
    SetFocus(button);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // One window per process: its font lives from creation to destruction.
    static CFont font;
    switch (message) {
        case WM_CREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            font = MessageFont(hwnd);
            CreateContents(hwnd, font,
                           *static_cast<const ProductIdentity*>(create->lpCreateParams));
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == kCloseId || LOWORD(wParam) == IDCANCEL) DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            font.Reset();
            return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    SearchDllsInSystem32Only();
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const ProductIdentity product = ReadProductIdentity();
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"VivevaDizDemo";
    RegisterClassW(&wc);

    const UINT dpi = GetDpiForSystem();
    RECT frame{0, 0, UnitsToPixels(kWidth, int(dpi)), UnitsToPixels(kHeight, int(dpi))};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRectExForDpi(&frame, style, FALSE, 0, dpi);
    HWND hwnd =
        CreateWindowExW(0, wc.lpszClassName, product.shortcutName.c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                        nullptr, instance, const_cast<ProductIdentity*>(&product));
    if (!hwnd) return 1;
    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
