#pragma once
// Stands in for the system's annotation service while it lives: CoCreateInstance of
// CLSID_AccPropServices in this process gets it, and it keeps the last role, state and name each
// window was annotated with. Wine's own service implements none of it. Needs COM on the thread.

#include <windows.h>
#include <oleacc.h>

#include <map>
#include <string>

namespace testing_support {

struct Annotations {
    LONG role = -1;
    LONG state = -1;
    std::wstring name;
    bool cleared = false;
};

class CRecordingAnnotations : public IAccPropServices, public IClassFactory {
public:
    std::map<HWND, Annotations> m_windows;

    CRecordingAnnotations() {
        ::CoRegisterClassObject(CLSID_AccPropServices, static_cast<IClassFactory*>(this),
                                CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
    }
    ~CRecordingAnnotations() { ::CoRevokeClassObject(m_cookie); }
    CRecordingAnnotations(const CRecordingAnnotations&) = delete;
    CRecordingAnnotations& operator=(const CRecordingAnnotations&) = delete;
    bool Registered() const { return m_cookie != 0; }

    // It outlives every reference handed out, so no count is kept.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IAccPropServices ? static_cast<IAccPropServices*>(this)
               : iid == IID_IUnknown || iid == IID_IClassFactory
                   ? static_cast<void*>(static_cast<IClassFactory*>(this))
                   : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override {
        return QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    STDMETHODIMP SetHwndProp(HWND hwnd, DWORD, DWORD, MSAAPROPID id, VARIANT value) override {
        if (id == PROPID_ACC_ROLE)
            m_windows[hwnd].role = value.lVal;
        else if (id == PROPID_ACC_STATE)
            m_windows[hwnd].state = value.lVal;
        else
            return E_INVALIDARG;
        return S_OK;
    }
    STDMETHODIMP SetHwndPropStr(HWND hwnd, DWORD, DWORD, MSAAPROPID, LPCWSTR text) override {
        m_windows[hwnd].name = text;
        return S_OK;
    }
    STDMETHODIMP ClearHwndProps(HWND hwnd, DWORD, DWORD, const MSAAPROPID*, int) override {
        m_windows[hwnd].cleared = true;
        return S_OK;
    }

    STDMETHODIMP SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                               AnnoScope) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                   AnnoScope) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                    AnnoScope) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
        return E_NOTIMPL;
    }

private:
    DWORD m_cookie = 0;
};

}  // namespace testing_support
