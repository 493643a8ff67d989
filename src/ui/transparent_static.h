#pragma once

// A text drawn straight onto the parent's background (the skin), in a chosen
// colour. A new text repaints the background under the old one, so a
// shorter text leaves nothing of a longer one behind.

#include <QColor>
#include <QLabel>

namespace txisp::ui {

class CTransparentStatic : public QLabel {
    Q_OBJECT

public:
    // Black text, no background of its own.
    explicit CTransparentStatic(QWidget* parent = nullptr);

    void SetTextColour(QColor colour);
    QColor TextColour() const;
};

}  // namespace txisp::ui
