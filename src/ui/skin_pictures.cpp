#include "ui/skin_pictures.h"

#include <QBitmap>
#include <QString>

#include "platform/files.h"

namespace txisp::ui {
namespace {

// Pixels darker than this form the embossed shape; lighter ones are the
// "paper" it is pressed into.
constexpr int kEmbossInkBelow = 128;

bool IsInk(QRgb pixel) {
    return qAlpha(pixel) != 0 && qGray(pixel) < kEmbossInkBelow;
}

}  // namespace

QImage LoadSkinPicture(const std::filesystem::path& folder, std::string_view name) {
    const auto file = platform::FindFileIgnoringCase(folder, name);
    if (!file) return {};
    return QImage(QString::fromStdString(file->string()));
}

QPixmap MaskedPicture(const QImage& picture, QColor transparent) {
    if (picture.isNull()) return {};
    // Compare unpremultiplied 32-bit pixels, so "exactly this colour" means
    // the same thing for BMP and PNG sources.
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = qRgba(transparent.red(), transparent.green(), transparent.blue(), 255);
    const QBitmap mask = QBitmap::fromImage(argb.createMaskFromColor(key, Qt::MaskInColor));
    if (mask.isNull()) return {};
    QPixmap pixmap = QPixmap::fromImage(argb);
    pixmap.setMask(mask);
    return pixmap;
}

QImage EmbossedPicture(const QImage& picture, QColor highlight, QColor shadow) {
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    QImage result(source.size(), QImage::Format_ARGB32);
    result.fill(Qt::transparent);
    const QRgb light = highlight.rgba();
    const QRgb dark = shadow.rgba();
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            if (!IsInk(source.pixel(x, y))) continue;
            result.setPixel(x, y, dark);
            if (x + 1 < result.width() && y + 1 < result.height() &&
                !IsInk(source.pixel(x + 1, y + 1))) {
                result.setPixel(x + 1, y + 1, light);
            }
        }
    }
    return result;
}

}  // namespace txisp::ui
