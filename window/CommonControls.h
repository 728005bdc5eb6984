#pragma once

#include <windows.h>

#include <commctrl.h>

// The manifest asks for comctl32 6, whose button, edit and list box replace
// user32's. Windows XP makes none of them, nor message boxes, for such a program
// until it has called InitCommonControlsEx.
namespace CommonControls {

// What the program calls; a test may put a watcher in its place.
inline BOOL(WINAPI* initialise)(const INITCOMMONCONTROLSEX* classes) = &::InitCommonControlsEx;

// Registers the classes the window uses (comctl32 6.0 of Windows XP has them).
inline void Initialise() {
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_STANDARD_CLASSES};
    initialise(&classes);  // A failure shows as controls that cannot be made.
}

}  // namespace CommonControls
