#include <gtest/gtest.h>

#include <QWidget>

#include "ui/color_static.h"
#include "ui/label_ex.h"
#include "ui/transparent_static.h"
#include "widget_probe.h"

namespace txisp::ui {
namespace {

const QColor kBackdrop(10, 20, 200);
const QColor kInk(250, 250, 0);

// Labels on a window of a colour none of them uses.
class LabelsTest : public ::testing::Test {
protected:
    LabelsTest() {
        window_.resize(300, 60);
        QPalette palette = window_.palette();
        palette.setColor(QPalette::Window, kBackdrop);
        window_.setPalette(palette);
        window_.setAutoFillBackground(true);
        QFont font = window_.font();
        font.setPixelSize(30);
        font.setBold(true);
        window_.setFont(font);
        window_.show();
    }
    template <typename Label>
    Label* Make() {
        auto* label = new Label(&window_);
        label->setGeometry(0, 0, 300, 60);
        label->show();
        return label;
    }

    QWidget window_;
};

TEST_F(LabelsTest, TransparentStaticLeavesNothingOfALongerText) {
    auto* label = Make<CTransparentStatic>();
    label->SetTextColour(kInk);
    label->setText("WWWWWWWW");
    ASSERT_GT(CountPixels(Shown(*label).copy(150, 0, 150, 60), kInk), 0);

    label->setText("W");
    const QImage shown = Shown(*label);
    EXPECT_GT(CountPixels(shown, kInk), 0);
    EXPECT_EQ(CountPixels(shown.copy(150, 0, 150, 60), kInk), 0);
}

TEST_F(LabelsTest, LabelExShowsItsOwnTextOrElseThePlainText) {
    auto* own = Make<CLabelEx>();
    own->SetTextColour(kInk);
    own->setText("II");
    own->SetLabelText("MM");
    const QImage own_text = Shown(*own);
    own->hide();

    auto* plain = Make<CLabelEx>();
    plain->SetTextColour(kInk);
    plain->setText("MM");
    EXPECT_EQ(Shown(*plain), own_text);
    EXPECT_GT(CountPixels(own_text, kInk), 0);
}

TEST_F(LabelsTest, OpaqueLabelsFillTransparentOnesShowTheWindow) {
    auto* label_ex = Make<CLabelEx>();
    const QColor face(90, 90, 90);
    label_ex->SetBackgroundColour(face);
    EXPECT_EQ(Shown(*label_ex).pixelColor(1, 1), face);
    label_ex->SetTransparent(true);
    EXPECT_EQ(Shown(*label_ex).pixelColor(1, 1), kBackdrop);
    label_ex->hide();

    auto* colour_static = Make<CColorStatic>();
    EXPECT_EQ(Shown(*colour_static).pixelColor(1, 1), colour_static->BackgroundColour());
    EXPECT_NE(colour_static->BackgroundColour(), kBackdrop);
}

}  // namespace
}  // namespace txisp::ui
