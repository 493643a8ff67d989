#include "ui/transparent_static.h"

#include <QPalette>

namespace txisp::ui {

CTransparentStatic::CTransparentStatic(QWidget* parent) : QLabel(parent) {
    // Not filling the background is what keeps the skin visible; the
    // backing store repaints the parent under the label on every change.
    setAutoFillBackground(false);
    SetTextColour(Qt::black);
}

void CTransparentStatic::SetTextColour(QColor colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

QColor CTransparentStatic::TextColour() const {
    return palette().color(QPalette::WindowText);
}

}  // namespace txisp::ui
