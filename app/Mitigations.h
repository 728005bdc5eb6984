#pragma once

#include <windows.h>

// What a program may ask of Windows to protect itself, beyond what its headers give.
namespace Mitigations {

// SetProcessDEPPolicy from this Windows's kernel32, where it has one: XP SP3 and
// Vista SP1 on, but not XP x64 (2003-based); null elsewhere.
using SetDepPolicy = BOOL(WINAPI*)(DWORD flags);
SetDepPolicy DepPolicyFunction();

// Ends the process on heap corruption, and turns DEP on where the system's policy
// left it to the program. Each where this Windows offers it; a refusal changes nothing.
void TurnOn();

}  // namespace Mitigations
