#include "windowing/accessibility.h"

#include <iterator>

#include "platform/com_ptr.h"

namespace {

// The annotation service is made for each call: oleacc comes from the system's COM registration
// rather than a load-time import, and nothing holds COM beyond the call.
ComPtr<IAccPropServices> AnnotationService() {
    ComPtr<IAccPropServices> services;
    ::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                       services.PutVoid());
    return services;
}

void AnnotateNumber(HWND control, const MSAAPROPID& property, LONG value) {
    const ComPtr<IAccPropServices> services = AnnotationService();
    if (!services) return;
    VARIANT variant{};
    variant.vt = VT_I4;
    variant.lVal = value;
    services->SetHwndProp(control, DWORD(OBJID_CLIENT), CHILDID_SELF, property, variant);
}

}  // namespace

void AnnotateName(HWND control, const wchar_t* name) {
    const ComPtr<IAccPropServices> services = AnnotationService();
    if (services)
        services->SetHwndPropStr(control, DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name);
}

void AnnotateRole(HWND control, LONG role) {
    AnnotateNumber(control, PROPID_ACC_ROLE, role);
}

void AnnotateState(HWND control, LONG state) {
    AnnotateNumber(control, PROPID_ACC_STATE, state);
}

void ClearAnnotations(HWND control) {
    const ComPtr<IAccPropServices> services = AnnotationService();
    if (!services) return;
    const MSAAPROPID properties[] = {PROPID_ACC_NAME, PROPID_ACC_ROLE, PROPID_ACC_STATE};
    services->ClearHwndProps(control, DWORD(OBJID_CLIENT), CHILDID_SELF, properties,
                             int(std::size(properties)));
}

void AnnounceStateChange(HWND control) {
    ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}
