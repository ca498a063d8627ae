#include "windowing/reflection.h"

namespace {

bool IsControlNotification(UINT msg) {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_PARENTNOTIFY:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_COMPAREITEM:
        case WM_DELETEITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return true;
        default:
            return false;
    }
}

template <class TItemStruct>
HWND ItemWindow(WPARAM wParam, LPARAM lParam) {
    // wParam 0 means a menu item, which has no window.
    if (wParam == 0 || lParam == 0) return nullptr;
    return reinterpret_cast<const TItemStruct*>(lParam)->hwndItem;
}

HWND SenderOf(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_NOTIFY:
            return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
        case WM_PARENTNOTIFY:
            if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY) {
                return reinterpret_cast<HWND>(lParam);
            }
            return ::GetDlgItem(parent, HIWORD(wParam));
        case WM_DRAWITEM:
            return ItemWindow<DRAWITEMSTRUCT>(wParam, lParam);
        case WM_COMPAREITEM:
            return ItemWindow<COMPAREITEMSTRUCT>(wParam, lParam);
        case WM_DELETEITEM:
            return ItemWindow<DELETEITEMSTRUCT>(wParam, lParam);
        case WM_MEASUREITEM:
            if (wParam == 0 || lParam == 0) return nullptr;
            return ::GetDlgItem(
                parent,
                static_cast<int>(reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID));
        default:
            // WM_COMMAND (0 for commands posted without a sender), scrolling, list keys and the
            // colour messages all carry the sender in lParam.
            return reinterpret_cast<HWND>(lParam);
    }
}

}  // namespace

HWND FindNotifyingChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsControlNotification(msg)) return nullptr;
    const HWND child = SenderOf(parent, msg, wParam, lParam);
    // Reflected messages carry pointers that only mean something to our own children.
    return child && ::IsChild(parent, child) ? child : nullptr;
}

bool ReflectNotification(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const HWND child = FindNotifyingChild(parent, msg, wParam, lParam);
    if (!child) return false;
    result = ::SendMessageW(child, OCM__BASE + msg, wParam, lParam);
    return true;
}

bool IsReflectedMessage(UINT msg) {
    return msg >= OCM__BASE && IsControlNotification(msg - OCM__BASE);
}

bool DefaultReflectionHandler(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!IsReflectedMessage(msg)) return false;
    result = ::DefWindowProcW(hWnd, msg - OCM__BASE, wParam, lParam);
    return true;
}
