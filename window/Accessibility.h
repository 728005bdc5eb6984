#pragma once

#include <windows.h>

#include <oleacc.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "handles/UniqueCom.h"

// Names, for screen readers, of controls without a visible label: Narrator and NVDA
// would otherwise name an edit box or a list by the text before it in the tab order.
// They are given by dynamic annotation, which Windows has from XP on, through COM,
// which the thread must have started and keep until the names are taken back; a
// failure anywhere leaves the controls unnamed and changes nothing else.
namespace Accessibility {

// What makes the annotation service; a test may put its own in place.
HRESULT WINAPI CreateServices(IAccPropServices** services);
inline HRESULT(WINAPI* createServices)(IAccPropServices** services) = &CreateServices;

class ControlNames {
public:
    ControlNames() = default;
    ControlNames(const ControlNames&) = delete;
    ControlNames& operator=(const ControlNames&) = delete;
    ~ControlNames() { Clear(); }

    // Gives each control its name, after taking back any names given before.
    void Give(std::initializer_list<std::pair<HWND, const wchar_t*>> names);
    // Takes the names back, as Microsoft asks, while the controls still exist; then
    // lets go of the service.
    void Clear();

private:
    ComRef<IAccPropServices> services_;
    std::vector<HWND> named_;
};

}  // namespace Accessibility
