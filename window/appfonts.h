// The window's fonts. Its stored fonts are Windows ones; Linux has metric-compatible stand-ins (Liberation,
// from fonts-liberation2). Without them "MS Sans Serif" falls back to a wider face and the fixed
// layout cuts captions.
#pragma once

#include <QFont>

namespace window {

void InstallFontSubstitutes();

// "Arial" at a height in pixels, as the window's stored fonts give it (a negative font height).
QFont ArialPixels(int pixels);

}  // namespace window
