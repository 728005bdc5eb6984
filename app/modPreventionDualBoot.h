#pragma once

namespace modPreventionDualBoot {

// The mutex every running copy holds, in the session's own namespace: another user
// logged on at the same time runs a copy of their own.
inline constexpr wchar_t kMutexName[] =
    L"Local\\Quillrake.SingleInstance.{5B1E7C3A-9D42-4F6B-A8E1-2C73D0F4B915}";

// Returns only when no other copy of Quillrake is running; otherwise tells the user
// so and ends this process.
void PreventDualBoot();

}  // namespace modPreventionDualBoot
