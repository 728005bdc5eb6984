// The GUIDs that oleacc.h declares are defined here, once.
#include <windows.h>

#include <initguid.h>
#include <oleacc.h>

#include "window/Accessibility.h"

namespace Accessibility {

HRESULT WINAPI CreateServices(IAccPropServices** services) {
    return CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                            reinterpret_cast<void**>(services));
}

void ControlNames::Give(std::initializer_list<std::pair<HWND, const wchar_t*>> names) {
    Clear();
    if (FAILED(createServices(services_.put())) || !services_) return;
    for (const auto& [control, name] : names)
        if (SUCCEEDED(services_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                                PROPID_ACC_NAME, name)))
            named_.push_back(control);
}

void ControlNames::Clear() {
    for (HWND control : named_)
        services_->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &PROPID_ACC_NAME, 1);
    named_.clear();
    services_.reset();
}

}  // namespace Accessibility
