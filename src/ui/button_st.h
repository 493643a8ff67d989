#pragma once

// The push button of the skinned windows: it paints its own picture (one
// while the mouse is outside, another while it is over the button or the
// button is pressed), with the skin's transparent colour letting the window
// behind show through, and draws its caption over or beside the picture.

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <array>

#include "ui/button_st_layout.h"
#include "ui/skin_pictures.h"

class QPainter;

namespace txisp::ui {

// What the setters report; callers compare the numbers.
enum class ButtonStResult : int {
    Ok = 0,
    InvalidPicture = 1,  // a picture has no size (it could not be read)
    MaskFailed = 2,      // no transparency mask could be made
    InvalidIndex = 3,    // SetStateColor index above 5
    InvalidPlacement = 4,
};

// SetStateColor indexes: background and caption colour while hovered or
// pressed, in the normal state, and while focused.
enum ButtonStColor : int {
    kBackgroundHovered = 0,
    kTextHovered = 1,
    kBackgroundNormal = 2,
    kTextNormal = 3,
    kBackgroundFocused = 4,
    kTextFocused = 5,
};
inline constexpr int kButtonStColorCount = 6;

class CButtonST : public QPushButton {
    Q_OBJECT

public:
    // Flat, with a thin border while hovered or pressed, caption to the right
    // of the picture. The background colours start transparent, so the
    // window behind shows wherever neither picture nor caption is drawn.
    explicit CButtonST(QWidget* parent = nullptr);

    // A null `normal` image means none: the hover picture is shown in every
    // state. A null `hover` image, or a failure, leaves the button without
    // pictures (the caption is still drawn). Repaints.
    ButtonStResult SetPictures(const QImage& hover, QColor hover_transparent,
                               const QImage& normal = {},
                               QColor normal_transparent = QColor(kSkinTransparent));
    ButtonStResult SetPlacement(int placement, bool repaint = true);
    ButtonStResult SetStateColor(int index, QColor colour, bool repaint = true);
    // The size of the hover picture (or icon); the position stays.
    void FitToPicture();
    // Icons instead of pictures, at the hover icon's own size; they keep
    // their own transparency.
    void SetIconPictures(const QIcon& hover, const QIcon& normal = {});
    void SetDrawBorder(bool draw_border, bool repaint = true);

    bool IsHovered() const { return hovered_; }
    // An invalid colour for an index out of range.
    QColor StateColor(int index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct PaintState {
        bool Pressed = false;
        bool Hovered = false;
        bool Focused = false;
        bool Disabled = false;
    };

    PaintState CurrentState() const;
    const QPixmap& CurrentPicture(const PaintState& state) const;
    void DrawFrame(QPainter& painter, QRect& area, const PaintState& state) const;
    void DrawBackground(QPainter& painter, const QRect& area, const PaintState& state) const;
    void DrawBorder(QPainter& painter, const QRect& area, const PaintState& state) const;
    void DrawBitmapImage(QPainter& painter, const QRect& where, const PaintState& state) const;
    void DrawCaption(QPainter& painter, const QRect& where, const PaintState& state) const;
    void DrawFocus(QPainter& painter, const QRect& area, const PaintState& state) const;
    void ClearPictures();

    std::array<QColor, kButtonStColorCount> colours_;
    int placement_ = kPictureLeft;
    bool draw_border_ = true;
    bool hovered_ = false;
    QPixmap hover_;
    QPixmap normal_;
};

}  // namespace txisp::ui
