#pragma once

// Finding the controls of a dialog by name and id, and looking at pixels.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QEnterEvent>
#include <QEvent>
#include <QImage>
#include <QWidget>
#include <QtGlobal>
#include <ostream>

#include "ui/control_identity.h"

// Readable colours in failure messages.
inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << "rgba(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ", "
         << colour.alpha() << ")";
}

namespace txisp::ui {

// The child named `name`; fails the test when it is missing or of another
// kind.
template <typename T>
T* Control(const QWidget& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// What the window shows over `widget`: the parent and everything in it
// painted, cut to the widget's rectangle.
inline QImage Shown(const QWidget& widget) {
    return widget.parentWidget()->grab(widget.geometry()).toImage();
}

inline void SendEnter(QWidget& widget) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), widget.mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(&widget, &enter);
}

inline void SendLeave(QWidget& widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
}

// How many pixels of `image` are exactly `colour`.
inline int CountPixels(const QImage& image, QColor colour) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += argb.pixel(x, y) == colour.rgba() ? 1 : 0;
    return count;
}

}  // namespace txisp::ui
