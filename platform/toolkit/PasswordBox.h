// The password window: a modal window owned by another, with a caption, a text, a masked edit
// box, OK and Cancel. Enter is OK (or the button that has the focus), Esc and the close box
// are Cancel. Laid out in twips like every form, so it scales with the screen's DPI.
#pragma once
#include <windows.h>

#include <string>

#include "platform/toolkit/Secret.h"

namespace tk {

// The window's client area, in twips.
inline constexpr double kPasswordClientWidthTwips = 5400;
inline constexpr double kPasswordClientHeightTwips = 1935;

// Asks through the seam. True when the user chose OK: `answer` then holds the typed password
// (the edit box takes at most answer.Capacity() - 1 characters). False on Cancel, leaving
// `answer` empty.
bool PasswordBox(const std::string& text, const std::string& caption, HWND owner,
                 SecretText& answer);

// The real window, as the default seam shows it: `owner` stays disabled while it is open.
bool ShowPasswordWindow(HWND owner, const std::string& text, const std::string& caption,
                        SecretText& answer);

}  // namespace tk
