#include "ui/label_ex.h"

#include <QPainter>
#include <QPalette>

namespace txisp::ui {

CLabelEx::CLabelEx(QWidget* parent)
    : QLabel(parent),
      background_(palette().color(QPalette::Button)),
      text_colour_(palette().color(QPalette::WindowText)) {
    setAutoFillBackground(false);
}

void CLabelEx::SetLabelText(const QString& text) {
    label_text_ = text;
    repaint();
}

void CLabelEx::SetTransparent(bool transparent) {
    transparent_ = transparent;
    update();
}

void CLabelEx::SetBackgroundColour(QColor colour) {
    background_ = colour;
    update();
}

void CLabelEx::SetTextColour(QColor colour) {
    text_colour_ = colour;
    update();
}

void CLabelEx::SetTextFormat(int flags) {
    format_ = flags;
    update();
}

QString CLabelEx::ShownText() const {
    return label_text_.isEmpty() ? text() : label_text_;
}

void CLabelEx::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (!transparent_) painter.fillRect(rect(), background_);
    painter.setFont(font());
    painter.setPen(text_colour_);
    painter.drawText(rect(), format_, ShownText());
}

}  // namespace txisp::ui
