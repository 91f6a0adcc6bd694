// Canvas drawing that the plain canvas lacks: text with the system's
// format flags and gradient fills.
#pragma once

#include "ui/graphics.h"

namespace bramble {

// DrawText with the DT_* flags, in the canvas's font and text colour
// (the font colour), on a transparent background; returns the height.
int CanvasDrawText(TCanvas& Canvas, const std::string& Text, TRect& R, UINT Format);

// Fills R from From to To, top to bottom (or left to right), in 256 or
// fewer stripes.
void CanvasGradientFill(TCanvas& Canvas, const TRect& R, TColor From, TColor To, bool Horizontal);

}  // namespace bramble
