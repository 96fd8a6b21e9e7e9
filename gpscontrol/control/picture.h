#pragma once
// The control's design-time picture: what a container shows for it while in
// design mode, drawn into a plain 32-bit ARGB pixel buffer.

#include <cstdint>

#include "control/image.h"

namespace sorvane {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr int kPictureSize = 32;
// Only 31 x 31 pixels of the picture are copied onto the control.
constexpr int kPictureCopySize = 31;

// The 16 colours the pictures use, as 0xAARRGGBB.
std::uint32_t PaletteColour(int index);
// Bitmap 201: a handheld receiver joined by a two-headed arrow to a map of
// Japan, on a teal ground.
Image ControlPicture();
// Bitmap 1, the 16 x 16 toolbox image.
Image ToolboxBitmap();

// Fills bounds white, draws the inscribed ellipse (black outline, white
// inside) and copies the picture to the buffer's origin (0, 0), whatever the
// bounds. Everything is clipped to the buffer; nothing happens without one.
void DrawControl(std::uint32_t* pixels, int width, int height, const Rect& bounds);
void DrawControl(Image& image, const Rect& bounds);

}  // namespace sorvane
