#include "map/map_palette.h"

namespace tobrel {

void ApplyPalette(QImage* image, int palette) {
    if (palette != kPaletteGrey && palette != kPaletteHalf) {
        return;
    }
    if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32) {
        *image = image->convertToFormat(QImage::Format_RGB32);
    }
    for (int y = 0; y < image->height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image->scanLine(y));
        for (int x = 0; x < image->width(); ++x) {
            const QRgb c = line[x];
            if (palette == kPaletteGrey) {
                const int g = qGray(c);
                line[x] = qRgba(g, g, g, qAlpha(c));
            } else {
                line[x] = qRgba((qRed(c) + 255) / 2, (qGreen(c) + 255) / 2, (qBlue(c) + 255) / 2,
                                qAlpha(c));
            }
        }
    }
}

}  // namespace tobrel
