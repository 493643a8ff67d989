#include "ui/button_st.h"

#include <QEnterEvent>
#include <QPainter>
#include <QPalette>

namespace txisp::ui {
namespace {

constexpr QPoint kMargin(3, 3);
constexpr QPoint kPressedOffset(1, 1);
// The usual icon size, for icons that do not say theirs.
constexpr QSize kDefaultIconSize(32, 32);
constexpr int kFocusInset = 3;

// The system's 3D colours: the same whether or not the button is enabled,
// as the disabled look is drawn with them.
QColor SystemColour(const QPalette& palette, QPalette::ColorRole role) {
    return palette.color(QPalette::Active, role);
}

// A one-pixel 3D rectangle: top and left in one colour, bottom and right in
// the other.
void Draw3dRect(QPainter& painter, const QRect& r, QColor top_left, QColor bottom_right) {
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), top_left);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), top_left);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottom_right);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottom_right);
}

QPixmap IconPixmap(const QIcon& icon, QSize size) {
    return icon.isNull() ? QPixmap() : icon.pixmap(size);
}

}  // namespace

CButtonST::CButtonST(QWidget* parent) : QPushButton(parent) {
    setFlat(true);
    const QColor text = palette().color(QPalette::ButtonText);
    colours_ = {QColor(Qt::transparent), text, QColor(Qt::transparent), text,
                QColor(Qt::transparent), text};
}

void CButtonST::ClearPictures() {
    hover_ = QPixmap();
    normal_ = QPixmap();
}

ButtonStResult CButtonST::SetPictures(const QImage& hover, QColor hover_transparent,
                                      const QImage& normal, QColor normal_transparent) {
    ClearPictures();
    const ButtonStResult result = [&] {
        if (hover.isNull()) return ButtonStResult::InvalidPicture;
        QPixmap masked_hover = MaskedPicture(hover, hover_transparent);
        QPixmap masked_normal;
        if (!normal.isNull()) masked_normal = MaskedPicture(normal, normal_transparent);
        if (masked_hover.isNull() || (!normal.isNull() && masked_normal.isNull()))
            return ButtonStResult::MaskFailed;
        hover_ = std::move(masked_hover);
        normal_ = std::move(masked_normal);
        return ButtonStResult::Ok;
    }();
    update();
    return result;
}

void CButtonST::SetIconPictures(const QIcon& hover, const QIcon& normal) {
    const QList<QSize> sizes = hover.availableSizes();
    const QSize size = sizes.isEmpty() ? kDefaultIconSize : sizes.first();
    hover_ = IconPixmap(hover, size);
    normal_ = IconPixmap(normal, size);
    update();
}

ButtonStResult CButtonST::SetPlacement(int placement, bool repaint) {
    if (placement < 0 || placement > kMaxPlacement) return ButtonStResult::InvalidPlacement;
    placement_ = placement;
    if (repaint) update();
    return ButtonStResult::Ok;
}

ButtonStResult CButtonST::SetStateColor(int index, QColor colour, bool repaint) {
    if (index < 0 || index >= kButtonStColorCount) return ButtonStResult::InvalidIndex;
    colours_[static_cast<std::size_t>(index)] = colour;
    if (repaint) update();
    return ButtonStResult::Ok;
}

QColor CButtonST::StateColor(int index) const {
    if (index < 0 || index >= kButtonStColorCount) return {};
    return colours_[static_cast<std::size_t>(index)];
}

void CButtonST::SetDrawBorder(bool draw_border, bool repaint) {
    draw_border_ = draw_border;
    if (repaint) update();
}

void CButtonST::FitToPicture() {
    if (!hover_.isNull()) resize(hover_.deviceIndependentSize().toSize());
}

QSize CButtonST::sizeHint() const {
    if (hover_.isNull()) return QPushButton::sizeHint();
    return hover_.deviceIndependentSize().toSize();
}

void CButtonST::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    if (hovered_) return;
    hovered_ = true;
    update();
}

void CButtonST::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    if (!hovered_) return;
    hovered_ = false;
    update();
}

CButtonST::PaintState CButtonST::CurrentState() const {
    PaintState state;
    // A toggle button looks pressed for as long as it is checked.
    state.Pressed = isDown() || (isCheckable() && isChecked());
    state.Hovered = hovered_;
    state.Focused = hasFocus();
    state.Disabled = !isEnabled();
    return state;
}

const QPixmap& CButtonST::CurrentPicture(const PaintState& state) const {
    const bool lit = state.Hovered || state.Pressed;
    return !lit && !normal_.isNull() ? normal_ : hover_;
}

void CButtonST::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const PaintState state = CurrentState();
    QRect area = rect();
    DrawFrame(painter, area, state);
    DrawBackground(painter, area, state);
    DrawBorder(painter, area, state);

    const QPixmap& picture = CurrentPicture(state);
    const QPoint offset = state.Pressed && !isCheckable() ? kPressedOffset : QPoint();
    if (picture.isNull()) {
        DrawCaption(painter, area.translated(offset), state);
    } else {
        const ButtonStLayout layout = LayOutButtonSt(area, picture.deviceIndependentSize().toSize(),
                                                     placement_, !text().isEmpty(), kMargin);
        DrawBitmapImage(painter, layout.Picture.translated(offset), state);
        DrawCaption(painter, layout.Caption.translated(offset), state);
    }
    DrawFocus(painter, area, state);
}

void CButtonST::DrawFrame(QPainter& painter, QRect& area, const PaintState& state) const {
    if (isFlat() || !(state.Focused || isDefault())) return;
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    area.adjust(1, 1, -1, -1);
}

void CButtonST::DrawBackground(QPainter& painter, const QRect& area,
                               const PaintState& state) const {
    const int index = state.Hovered || state.Pressed ? kBackgroundHovered
                      : state.Focused                ? kBackgroundFocused
                                                     : kBackgroundNormal;
    painter.fillRect(area, colours_[static_cast<std::size_t>(index)]);
}

void CButtonST::DrawBorder(QPainter& painter, const QRect& area, const PaintState& state) const {
    const QPalette& p = palette();
    const QColor highlight = SystemColour(p, QPalette::Light);
    const QColor shadow = SystemColour(p, QPalette::Dark);
    if (state.Pressed) {
        if (!isFlat()) {
            Draw3dRect(painter, area, shadow, shadow);
        } else if (draw_border_) {
            Draw3dRect(painter, area, shadow, highlight);
        }
        return;
    }
    if (!isFlat()) {
        Draw3dRect(painter, area, highlight, SystemColour(p, QPalette::Shadow));
        Draw3dRect(painter, area.adjusted(1, 1, -1, -1), SystemColour(p, QPalette::Midlight),
                   shadow);
    } else if (state.Hovered && draw_border_) {
        Draw3dRect(painter, area, highlight, shadow);
    }
}

void CButtonST::DrawBitmapImage(QPainter& painter, const QRect& where,
                                const PaintState& state) const {
    const QPixmap& picture = CurrentPicture(state);
    if (!state.Disabled) {
        painter.drawPixmap(where.topLeft(), picture);
        return;
    }
    const QPalette& p = palette();
    painter.drawImage(where.topLeft(),
                      EmbossedPicture(picture.toImage(), SystemColour(p, QPalette::Light),
                                      SystemColour(p, QPalette::Dark)));
}

void CButtonST::DrawCaption(QPainter& painter, const QRect& where, const PaintState& state) const {
    if (text().isEmpty()) return;
    constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    painter.setFont(font());
    if (state.Disabled) {
        // Engraved: a light copy one pixel down and right, the shadow on top.
        painter.setPen(SystemColour(palette(), QPalette::Light));
        painter.drawText(where.translated(1, 1), kFlags, text());
        painter.setPen(SystemColour(palette(), QPalette::Dark));
        painter.drawText(where, kFlags, text());
        return;
    }
    const int index = state.Hovered || state.Pressed ? kTextHovered : kTextNormal;
    painter.setPen(colours_[static_cast<std::size_t>(index)]);
    painter.drawText(where, kFlags, text());
}

void CButtonST::DrawFocus(QPainter& painter, const QRect& area, const PaintState& state) const {
    if (!state.Focused || isFlat()) return;
    QPen pen(SystemColour(palette(), QPalette::ButtonText), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(kFocusInset, kFocusInset, -kFocusInset - 1, -kFocusInset - 1));
}

}  // namespace txisp::ui
