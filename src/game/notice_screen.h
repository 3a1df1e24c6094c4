#pragma once

// The notice: one line of text over the landscape and the back button.

namespace morvelle {

// The frame handler of SCREEN_NOTICE.
void UpdateNoticeScreen();

}  // namespace morvelle
