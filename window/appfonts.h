// The window's stored fonts are Windows ones; Linux has metric-compatible stand-ins (Liberation,
// from fonts-liberation2). Without them "MS Sans Serif" falls back to a wider face and the fixed
// layout cuts captions.
#pragma once

namespace window {

void InstallFontSubstitutes();

}  // namespace window
