#pragma once

namespace modPreventionDualBoot {

// Returns only when no other copy of Quillrake is running; otherwise tells the user
// so and ends this process.
void PreventDualBoot();

}  // namespace modPreventionDualBoot
