#pragma once
// Wrappers that name the standard class a skinned control extends. The windowing layer copies
// that class's registration when it superclasses it (see window_impl.h).

#include "windowing/window.h"

template <class TBase = CWindow>
class CButtonT : public TBase {
public:
    CButtonT(HWND hWnd = nullptr) : TBase(hWnd) {}
    static LPCWSTR GetWndClassName() { return L"BUTTON"; }
};

template <class TBase = CWindow>
class CStaticT : public TBase {
public:
    CStaticT(HWND hWnd = nullptr) : TBase(hWnd) {}
    static LPCWSTR GetWndClassName() { return L"STATIC"; }
};

template <class TBase = CWindow>
class CEditT : public TBase {
public:
    CEditT(HWND hWnd = nullptr) : TBase(hWnd) {}
    static LPCWSTR GetWndClassName() { return L"EDIT"; }
};

using CButton = CButtonT<CWindow>;
using CStatic = CStaticT<CWindow>;
using CEdit = CEditT<CWindow>;
