#pragma once

// Where a bitmap button puts its picture and its caption.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace txisp::ui {

// SetPlacement values.
enum ButtonStPlacement : int {
    kPictureLeft = 0,         // picture at the left margin, caption to its right
    kPictureTop = 1,          // picture at the top margin, caption below
    kPictureRight = 2,        // picture at the right margin, caption to its left
    kCaptionOverPicture = 3,  // picture at the top-left corner, caption centred over it
};
inline constexpr int kMaxPlacement = kCaptionOverPicture;

struct ButtonStLayout {
    QRect Picture;
    QRect Caption;
};

// `area` is the button's drawing area; `margin` the spacing between picture
// and caption for the side-by-side placements. A button without a caption
// centres its picture on the free axis instead of keeping the margin.
ButtonStLayout LayOutButtonSt(const QRect& area, QSize picture, int placement, bool has_caption,
                              QPoint margin);

}  // namespace txisp::ui
