#pragma once

// A self-painted label: its own text (the label's plain text when that is
// empty), background and text colours and text flags. Transparent, it draws
// only its text over the parent; the main window's version line is one.

#include <QColor>
#include <QLabel>
#include <QString>

namespace txisp::ui {

class CLabelEx : public QLabel {
    Q_OBJECT

public:
    // Opaque on the button-face colour, window-text colour, one line
    // vertically centred at the left.
    explicit CLabelEx(QWidget* parent = nullptr);

    // Stores the text and repaints at once.
    void SetLabelText(const QString& text);
    void SetTransparent(bool transparent);
    void SetBackgroundColour(QColor colour);
    void SetTextColour(QColor colour);
    // Qt::Alignment and Qt::TextFlag values or-ed together.
    void SetTextFormat(int flags);

    // What is drawn: the own text, or the plain text when that is empty.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool transparent_ = false;
    QColor background_;
    QColor text_colour_;
    int format_ = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    QString label_text_;
};

}  // namespace txisp::ui
