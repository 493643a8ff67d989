#include "ui/color_static.h"

#include <QPalette>

namespace txisp::ui {

CColorStatic::CColorStatic(QWidget* parent) : QLabel(parent) {
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
}

void CColorStatic::SetTextColourAndRedraw(QColor colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
    // The worker's step texts follow each other quickly; paint now rather
    // than after the event loop comes round.
    repaint();
}

QColor CColorStatic::TextColour() const {
    return palette().color(QPalette::WindowText);
}

QColor CColorStatic::BackgroundColour() const {
    return palette().color(QPalette::Window);
}

}  // namespace txisp::ui
