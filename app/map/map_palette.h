#pragma once
// The base map palettes: 0 normal, 1 grey, 2 half (washed out toward white).

#include <QImage>

namespace tobrel {

constexpr int kPaletteNormal = 0;
constexpr int kPaletteGrey = 1;
constexpr int kPaletteHalf = 2;

// Recolours an RGB32 or ARGB32 image in place; other palette numbers leave it.
void ApplyPalette(QImage* image, int palette);

}  // namespace tobrel
