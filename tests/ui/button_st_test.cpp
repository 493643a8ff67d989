#include "ui/button_st.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>
#include <memory>

#include "widget_probe.h"

namespace txisp::ui {
namespace {

const QColor kBackdrop(10, 20, 200);
const QColor kNormalFill(0, 160, 0);
const QColor kHoverFill(200, 0, 0);
// One step from magenta: must be drawn like any other colour.
const QColor kNearMagenta(254, 0, 255);
const QColor kMagenta(kSkinTransparent);
constexpr QSize kPictureSize(20, 20);

// A skin picture: `fill`, a magenta 5 x 5 corner at the top left and a
// near-magenta one at the bottom right.
QImage Picture(QColor fill, QImage::Format format = QImage::Format_RGB32) {
    QImage image(kPictureSize, QImage::Format_ARGB32);
    image.fill(fill);
    QPainter painter(&image);
    painter.fillRect(0, 0, 5, 5, kMagenta);
    painter.fillRect(15, 15, 5, 5, kNearMagenta);
    painter.end();
    return image.convertToFormat(format);
}

// A button on a window of a colour no picture uses, so wherever the window
// shows through is plain to see.
class ButtonStTest : public ::testing::Test {
protected:
    ButtonStTest() {
        window_.resize(120, 80);
        QPalette palette = window_.palette();
        palette.setColor(QPalette::Window, kBackdrop);
        window_.setPalette(palette);
        window_.setAutoFillBackground(true);
        button_->move(10, 10);
        window_.show();
    }

    QColor ShownAt(int x, int y) const { return Shown(*button_).pixelColor(x, y); }

    QWidget window_;
    CButtonST* button_ = new CButtonST(&window_);
};

TEST_F(ButtonStTest, ExactlyMagentaShowsTheWindowInEveryPictureFormat) {
    const struct {
        const char* name;
        QImage::Format format;
    } cases[] = {
        {"24-bit BMP", QImage::Format_RGB888},
        {"32-bit", QImage::Format_RGB32},
        {"PNG with alpha", QImage::Format_ARGB32},
        {"premultiplied", QImage::Format_ARGB32_Premultiplied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(button_->SetPictures(Picture(kHoverFill, c.format), kMagenta,
                                       Picture(kNormalFill, c.format), kMagenta),
                  ButtonStResult::Ok);
        button_->FitToPicture();
        EXPECT_EQ(button_->size(), kPictureSize);
        EXPECT_EQ(ShownAt(2, 2), kBackdrop);
        EXPECT_EQ(ShownAt(17, 17), kNearMagenta);
        EXPECT_EQ(ShownAt(10, 10), kNormalFill);
    }
}

TEST_F(ButtonStTest, HoverPictureWhileTheMouseIsOverTheButton) {
    button_->SetPictures(Picture(kHoverFill), kMagenta, Picture(kNormalFill), kMagenta);
    button_->FitToPicture();

    SendEnter(*button_);
    EXPECT_TRUE(button_->IsHovered());
    EXPECT_EQ(ShownAt(10, 10), kHoverFill);
    EXPECT_EQ(ShownAt(2, 2), kBackdrop);

    SendLeave(*button_);
    EXPECT_FALSE(button_->IsHovered());
    EXPECT_EQ(ShownAt(10, 10), kNormalFill);

    button_->setDown(true);
    EXPECT_EQ(ShownAt(10, 10), kHoverFill) << "pressed looks hovered";
}

TEST_F(ButtonStTest, OnlyAHoverPictureIsShownInEveryState) {
    button_->SetPictures(Picture(kHoverFill), kMagenta);
    button_->FitToPicture();
    EXPECT_EQ(ShownAt(10, 10), kHoverFill);
    SendEnter(*button_);
    EXPECT_EQ(ShownAt(10, 10), kHoverFill);
}

TEST_F(ButtonStTest, DisabledPictureIsGreyAndKeepsItsTransparency) {
    // Dark strokes on a light face, as the exit cross is drawn.
    QImage picture = Picture(QColor(240, 240, 240));
    QPainter(&picture).fillRect(8, 2, 4, 16, QColor(30, 30, 30));
    button_->SetPictures(picture, kMagenta, picture, kMagenta);
    button_->FitToPicture();
    const QImage normal = Shown(*button_);

    button_->setEnabled(false);
    const QImage disabled = Shown(*button_);

    EXPECT_NE(disabled, normal);
    EXPECT_EQ(CountPixels(disabled, QColor(30, 30, 30)), 0);
    EXPECT_GT(CountPixels(disabled, button_->palette().color(QPalette::Active, QPalette::Dark)), 0);
    EXPECT_EQ(disabled.pixelColor(2, 2), kBackdrop);
}

TEST_F(ButtonStTest, IconsStandInForPicturesAtTheirOwnSize) {
    QPixmap hover(16, 16);
    hover.fill(kHoverFill);
    QPixmap normal(16, 16);
    normal.fill(Qt::transparent);
    button_->SetIconPictures(QIcon(hover), QIcon(normal));
    button_->FitToPicture();
    EXPECT_EQ(button_->size(), QSize(16, 16));
    EXPECT_EQ(ShownAt(8, 8), kBackdrop);
    SendEnter(*button_);
    EXPECT_EQ(ShownAt(8, 8), kHoverFill);
}

class CaptionTest : public ButtonStTest {
protected:
    CaptionTest() {
        QFont font = button_->font();
        font.setPixelSize(28);
        font.setBold(true);
        button_->setFont(font);
        button_->setText("HH");
        button_->resize(100, 50);
        button_->SetStateColor(kTextNormal, kNormalFill);
        button_->SetStateColor(kTextHovered, kHoverFill);
    }
};

TEST_F(CaptionTest, ColourFollowsHoverPressAndDisable) {
    const QColor dark = button_->palette().color(QPalette::Active, QPalette::Dark);
    const struct {
        const char* name;
        void (*set_up)(CButtonST&);
        QColor seen;
        QColor not_seen;
    } cases[] = {
        {"normal", [](CButtonST&) {}, kNormalFill, kHoverFill},
        {"hovered", [](CButtonST& b) { SendEnter(b); }, kHoverFill, kNormalFill},
        {"pressed", [](CButtonST& b) { b.setDown(true); }, kHoverFill, kNormalFill},
        {"disabled", [](CButtonST& b) { b.setEnabled(false); }, dark, kNormalFill},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SendLeave(*button_);
        button_->setDown(false);
        button_->setEnabled(true);
        c.set_up(*button_);
        const QImage shown = Shown(*button_);
        EXPECT_GT(CountPixels(shown, c.seen), 0);
        EXPECT_EQ(CountPixels(shown, c.not_seen), 0);
    }
}

TEST_F(CaptionTest, DefaultBackgroundLetsTheWindowShowAndASetOneFills) {
    EXPECT_EQ(ShownAt(1, 1), kBackdrop);
    const QColor face(90, 90, 90);
    button_->SetStateColor(kBackgroundNormal, face);
    EXPECT_EQ(ShownAt(1, 1), face);
}

TEST_F(ButtonStTest, OutOfRangeArgumentsChangeNothing) {
    button_->SetPictures(Picture(kHoverFill), kMagenta, Picture(kNormalFill), kMagenta);
    button_->FitToPicture();
    const QColor before = button_->StateColor(kTextNormal);

    EXPECT_EQ(button_->SetStateColor(6, Qt::red), ButtonStResult::InvalidIndex);
    EXPECT_EQ(button_->SetStateColor(-1, Qt::red), ButtonStResult::InvalidIndex);
    EXPECT_EQ(button_->StateColor(kTextNormal), before);
    EXPECT_EQ(button_->SetPlacement(4), ButtonStResult::InvalidPlacement);
    EXPECT_EQ(ShownAt(10, 10), kNormalFill) << "placement unchanged";

    // An unreadable picture drops the old ones too.
    EXPECT_EQ(button_->SetPictures(QImage(), kMagenta, Picture(kNormalFill), kMagenta),
              ButtonStResult::InvalidPicture);
    EXPECT_EQ(ShownAt(10, 10), kBackdrop);
}

TEST(ButtonStLayoutTest, PlacesPictureAndCaptionByPlacement) {
    const QRect area(0, 0, 100, 40);
    const QSize picture(20, 10);
    const QPoint margin(3, 3);
    const struct {
        int placement;
        bool caption;
        QRect picture;
        QRect caption_rect;
    } cases[] = {
        {kPictureLeft, true, QRect(3, 15, 20, 10), QRect(23, 0, 77, 40)},
        {kPictureLeft, false, QRect(40, 15, 20, 10), area},
        {kPictureTop, true, QRect(40, 3, 20, 10), QRect(0, 13, 100, 27)},
        {kPictureTop, false, QRect(40, 15, 20, 10), area},
        {kPictureRight, true, QRect(77, 15, 20, 10), QRect(0, 0, 77, 40)},
        {kPictureRight, false, QRect(40, 15, 20, 10), area},
        {kCaptionOverPicture, true, QRect(0, 0, 20, 10), area},
        {kCaptionOverPicture, false, QRect(0, 0, 20, 10), area},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "placement " << c.placement << " caption " << c.caption);
        const ButtonStLayout layout = LayOutButtonSt(area, picture, c.placement, c.caption, margin);
        EXPECT_EQ(layout.Picture, c.picture);
        EXPECT_EQ(layout.Caption, c.caption_rect);
    }
}

}  // namespace
}  // namespace txisp::ui
