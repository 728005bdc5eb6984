#include "app/Mitigations.h"

#include "handles/ModuleFunction.h"

#ifndef PROCESS_DEP_ENABLE
#define PROCESS_DEP_ENABLE 0x00000001  // headers for XP lack them
#define PROCESS_DEP_DISABLE_ATL_THUNK_EMULATION 0x00000002
#endif

namespace Mitigations {

SetDepPolicy DepPolicyFunction() {
    SetDepPolicy function = nullptr;
    FindFunction(function, GetModuleHandleW(L"kernel32.dll"), "SetProcessDEPPolicy");
    return function;
}

void TurnOn() {
    // Windows does this by itself only for 64-bit programs and those for subsystem 6.0
    // or later, not for the x86 exe (5.01). XP before SP3 accepts the call and ignores it.
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    // XP SP3 and Vista SP1 let a 32-bit program turn DEP on for itself where the
    // NX_COMPAT bit is not honoured. A 64-bit process always has DEP, and the call
    // fails there; so it does where DEP is already on for good. Without the second flag,
    // Windows would still run the ATL thunks it finds in data, which this has none of.
    if (const SetDepPolicy setDepPolicy = DepPolicyFunction())
        setDepPolicy(PROCESS_DEP_ENABLE | PROCESS_DEP_DISABLE_ATL_THUNK_EMULATION);
}

}  // namespace Mitigations
