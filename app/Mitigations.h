#pragma once

// What a program may ask of Windows to protect itself, beyond what its headers give.
namespace Mitigations {

// Ends the process on heap corruption, and turns DEP on where the system's policy
// left it to the program. Each where this Windows offers it; a refusal changes nothing.
void TurnOn();

}  // namespace Mitigations
