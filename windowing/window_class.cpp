#include "windowing/window_class.h"

#include <cstdint>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace windowing {

namespace {

thread_local void* t_creating = nullptr;

// "BUTTON:00007FF6A1B2C3D0": the standard class it copies and the address of its C++ class's
// registration record.
std::wstring GeneratedName(LPCWSTR standardName, const void* key) {
    std::wstring name = standardName ? standardName : L"Window";
    name += L':';
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    for (int shift = static_cast<int>(sizeof(value)) * 8 - 4; shift >= 0; shift -= 4) {
        name += L"0123456789ABCDEF"[(value >> shift) & 0xF];
    }
    return name;
}

}  // namespace

WindowClass RegisterWindowClass(LPCWSTR standardName, WNDPROC proc, const void* key) {
    WindowClass result;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (standardName) {
        if (!::GetClassInfoExW(nullptr, standardName, &wc)) return result;
        result.standardProc = wc.lpfnWndProc;
        wc.style &= ~CS_GLOBALCLASS;  // the copy belongs to this module alone
    } else {
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    }
    constexpr int kSlot = sizeof(LONG_PTR);
    result.objectOffset = (wc.cbWndExtra + kSlot - 1) / kSlot * kSlot;
    wc.cbWndExtra = result.objectOffset + kSlot;

    const std::wstring name = GeneratedName(standardName, key);
    wc.lpszClassName = name.c_str();
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleInstance();
    result.atom = ::RegisterClassExW(&wc);
    return result;
}

void BeginCreation(void* object) {
    t_creating = object;
}

void* ClaimCreation(LPARAM nccreateLParam) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(nccreateLParam);
    if (!cs || !t_creating || cs->lpCreateParams != t_creating) return nullptr;
    void* object = t_creating;
    // Cleared so that windows the object creates while handling WM_CREATE start afresh.
    t_creating = nullptr;
    return object;
}

void EndCreation() {
    t_creating = nullptr;
}

HINSTANCE ModuleInstance() {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

}  // namespace windowing
