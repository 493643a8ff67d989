#include "ui/button_st_layout.h"

namespace txisp::ui {
namespace {

int Centred(int start, int room, int length) {
    return start + (room - length) / 2;
}

}  // namespace

ButtonStLayout LayOutButtonSt(const QRect& area, QSize picture, int placement, bool has_caption,
                              QPoint margin) {
    const int w = picture.width();
    const int h = picture.height();
    const int centre_x = Centred(area.left(), area.width(), w);
    const int centre_y = Centred(area.top(), area.height(), h);
    switch (placement) {
        case kPictureLeft:
            if (!has_caption) return {QRect(centre_x, centre_y, w, h), area};
            return {QRect(area.left() + margin.x(), centre_y, w, h),
                    area.adjusted(margin.x() + w, 0, 0, 0)};
        case kPictureTop:
            if (!has_caption) return {QRect(centre_x, centre_y, w, h), area};
            return {QRect(centre_x, area.top() + margin.y(), w, h),
                    area.adjusted(0, margin.y() + h, 0, 0)};
        case kPictureRight:
            if (!has_caption) return {QRect(centre_x, centre_y, w, h), area};
            return {QRect(area.right() + 1 - margin.x() - w, centre_y, w, h),
                    area.adjusted(0, 0, -(margin.x() + w), 0)};
        default:
            return {QRect(area.topLeft(), picture), area};
    }
}

}  // namespace txisp::ui
