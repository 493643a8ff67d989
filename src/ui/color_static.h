#pragma once

// A text on a solid background with a chosen text colour; the main window's
// status line. A new text colour shows at once, not at the next paint.

#include <QColor>
#include <QLabel>

namespace txisp::ui {

class CColorStatic : public QLabel {
    Q_OBJECT

public:
    // The button-face colour as background, black text.
    explicit CColorStatic(QWidget* parent = nullptr);

    void SetTextColourAndRedraw(QColor colour);
    QColor TextColour() const;
    QColor BackgroundColour() const;
};

}  // namespace txisp::ui
