#pragma once

// Skin pictures as the skinned controls use them: loaded from the settings
// folder by a name whose letter case may differ, with one colour made
// transparent, and the grey embossed form a disabled control shows.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <filesystem>
#include <string_view>

namespace txisp::ui {

// Skins mark their transparent pixels with pure magenta; nothing else does.
inline constexpr QRgb kSkinTransparent = qRgb(255, 0, 255);

// The picture `name` in `folder`, the name matched without regard to case;
// a null image when it is missing or cannot be decoded (BMP and PNG are).
QImage LoadSkinPicture(const std::filesystem::path& folder, std::string_view name);

// `picture` with every opaque pixel of exactly `transparent` made fully
// transparent; a neighbouring shade stays as it is. An alpha channel the
// picture carries (PNG) is kept. Null when the picture is null or no mask
// could be made.
QPixmap MaskedPicture(const QImage& picture, QColor transparent);

// The disabled look of a picture: its dark pixels become a raised grey
// shape, drawn in `shadow` in place with a `highlight` edge one pixel down
// and right of it; light and transparent pixels drop out, so the background
// shows around the shape.
QImage EmbossedPicture(const QImage& picture, QColor highlight, QColor shadow);

}  // namespace txisp::ui
