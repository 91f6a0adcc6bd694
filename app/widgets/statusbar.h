// A status bar that other controls may be placed on (the main window puts
// its progress bar and busy indicator there).
#pragma once

#include "ui/comctrls.h"

namespace bramble {

class TFriendlyStatusBar : public TStatusBar {
public:
    explicit TFriendlyStatusBar(TComponent* AOwner);
};

}  // namespace bramble
