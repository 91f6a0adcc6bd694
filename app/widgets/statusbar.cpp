#include "app/widgets/statusbar.h"

namespace bramble {

TFriendlyStatusBar::TFriendlyStatusBar(TComponent* AOwner) : TStatusBar(AOwner) {
    TControlStyle s = ControlStyle();
    s.insert(csAcceptsControls);
    SetControlStyle(s);
}

}  // namespace bramble
