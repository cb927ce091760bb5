// What a screen reader learns of the pictures over MSAA: the system's standard object for each,
// with the name, role, description, states and action it cannot know.
#pragma once

#include <windows.h>

#include "ui/layout.h"

namespace win32 {

// Posted to a picture by its default action. The picture clicks itself when the message loop
// gets to it, never inside the screen reader's call.
inline constexpr UINT kPressPicture = WM_APP + 1;

// The answer to WM_GETOBJECT sent to `hwnd`, the window of `control`. 0 for any object but the
// client, or when the accessibility runtime cannot be had; the window then passes the message on.
// The runtime loads with the first request, so a finder without a screen reader never loads it.
LRESULT answer_get_object(HWND hwnd, const ostrael::ui::Control& control, WPARAM wparam, LPARAM lparam);

}  // namespace win32
