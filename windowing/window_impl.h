#pragma once
// CWindowImpl: a C++ object behind a window of its own class. The class is registered on the
// first creation: a superclass of TBase's standard class (CButtonT, CStaticT, CEditT) or, over a
// plain CWindow, a top-level class. The object's pointer lives in a window-bytes slot from
// WM_NCCREATE to WM_NCDESTROY; the class's one window procedure reads it and hands every message
// to the object's message map, and what the map leaves to the standard procedure.
//
//     class CMyButton : public CWindowImpl<CMyButton, CButtonT<CWindow>, CControlWinTraits> {
//     public:
//         BEGIN_MSG_MAP(CMyButton)
//             MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
//         END_MSG_MAP()
//         LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
//     };

#include <windows.h>

#include "windowing/message_map.h"
#include "windowing/win_traits.h"
#include "windowing/window.h"
#include "windowing/window_class.h"

template <class T, class TBase = CWindow, class TWinTraits = CControlWinTraits>
class CWindowImpl : public TBase {
public:
    CWindowImpl() = default;
    CWindowImpl(const CWindowImpl&) = delete;
    CWindowImpl& operator=(const CWindowImpl&) = delete;

    // The message map (BEGIN_MSG_MAP) defines this.
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result, DWORD msgMapId = 0) = 0;

    // An object that dies before its window cuts the window loose, so it never calls a dead
    // object, and destroys it.
    virtual ~CWindowImpl() {
        if (this->m_hWnd) {
            ::SetWindowLongPtrW(this->m_hWnd, Class().objectOffset, 0);
            ::DestroyWindow(this->m_hWnd);
            this->m_hWnd = nullptr;
        }
    }

    // Called after WM_NCDESTROY, when the window is gone; the object may delete itself here.
    virtual void OnFinalMessage(HWND) {}

    // Style and extended style 0 take the traits' values. Returns null when the object already
    // has a window or the window cannot be made.
    HWND Create(HWND parent, const RECT& rect = RECT{}, LPCWSTR text = nullptr, DWORD style = 0,
                DWORD exStyle = 0, UINT id = 0) {
        const windowing::WindowClass& wc = Class();
        if (this->m_hWnd || wc.atom == 0) return nullptr;
        style = TWinTraits::GetWndStyle(style);
        exStyle = TWinTraits::GetWndExStyle(exStyle);
        // Only a child has an id; for a top-level window the same argument would be a menu.
        const HMENU menu =
            (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
        CWindowImpl* self = this;
        windowing::BeginCreation(self);
        const HWND hWnd = ::CreateWindowExW(
            exStyle, MAKEINTATOM(wc.atom), text, style, rect.left, rect.top, rect.right - rect.left,
            rect.bottom - rect.top, parent, menu, windowing::ModuleInstance(), self);
        windowing::EndCreation();
        if (!hWnd) this->m_hWnd = nullptr;
        return hWnd;
    }

    // The object behind a window of this class; null for any other window.
    static T* FromHandle(HWND hWnd) {
        const windowing::WindowClass& wc = Class();
        if (!hWnd || wc.atom == 0 || ::GetClassWord(hWnd, GCW_ATOM) != wc.atom) return nullptr;
        return static_cast<T*>(
            reinterpret_cast<CWindowImpl*>(::GetWindowLongPtrW(hWnd, wc.objectOffset)));
    }

    // The standard procedure of this class: the superclassed control's, or DefWindowProcW.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
        return ::CallWindowProcW(Class().standardProc, this->m_hWnd, msg, wParam, lParam);
    }

    static const windowing::WindowClass& Class() {
        static const windowing::WindowClass registered =
            windowing::RegisterWindowClass(TBase::GetWndClassName(), WindowProc, &registered);
        return registered;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        const windowing::WindowClass& wc = Class();
        auto* self = reinterpret_cast<CWindowImpl*>(::GetWindowLongPtrW(hWnd, wc.objectOffset));
        if (!self && msg == WM_NCCREATE) {
            self = static_cast<CWindowImpl*>(windowing::ClaimCreation(lParam));
            if (self) {
                ::SetWindowLongPtrW(hWnd, wc.objectOffset, reinterpret_cast<LONG_PTR>(self));
                self->m_hWnd = hWnd;
            }
        }
        if (!self) return ::CallWindowProcW(wc.standardProc, hWnd, msg, wParam, lParam);

        LRESULT result = 0;
        const BOOL handled = self->ProcessWindowMessage(hWnd, msg, wParam, lParam, result, 0);
        if (msg != WM_NCDESTROY) {
            return handled ? result : ::CallWindowProcW(wc.standardProc, hWnd, msg, wParam, lParam);
        }
        // The standard class frees its own state on WM_NCDESTROY, whatever the map did.
        const LRESULT standard = ::CallWindowProcW(wc.standardProc, hWnd, msg, wParam, lParam);
        ::SetWindowLongPtrW(hWnd, wc.objectOffset, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage(hWnd);
        return handled ? result : standard;
    }
};
