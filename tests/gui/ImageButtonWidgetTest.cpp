#include "gui/widgets/ImageButtonWidget.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include "Backdrop.h"
#include "gui/widgets/SystemColours.h"

namespace tolvan::gui {
namespace {

QImage solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

const QColor kUp(10, 20, 30);
const QColor kDown(200, 0, 0);
const QColor kOver(0, 0, 200);

class ImageButtonWidgetTest : public ::testing::Test {
  protected:
    ImageButtonWidgetTest() {
        button.resize(52, 58);
        button.setImages(solid(52, 58, kUp), solid(52, 58, kDown), solid(52, 58, kOver));
        QObject::connect(&button, &ImageButtonWidget::clicked, [this] { ++clicks; });
    }

    QColor shown() { return button.grab().toImage().pixelColor(20, 20); }

    void mouse(QEvent::Type type, QPoint at = {20, 20}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent e(type, QPointF(at), button.mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
        QApplication::sendEvent(&button, &e);
    }
    void enter() {
        QEnterEvent e(QPointF(20, 20), QPointF(20, 20), QPointF(20, 20));
        QApplication::sendEvent(&button, &e);
    }
    void leave() {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(&button, &e);
    }

    ImageButtonWidget button;
    int clicks = 0;
};

TEST_F(ImageButtonWidgetTest, NormalHoverAndPressedPictures) {
    EXPECT_EQ(shown(), kUp);
    enter();
    EXPECT_TRUE(button.isHovered());
    EXPECT_EQ(shown(), kOver);
    mouse(QEvent::MouseButtonPress);
    EXPECT_EQ(shown(), kDown);  // pressed wins over hovered
    mouse(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(shown(), kOver);
    leave();
    EXPECT_EQ(shown(), kUp);
}

TEST_F(ImageButtonWidgetTest, TheKeyStaysDownWhileItsClickRuns) {
    QColor duringClick;
    QObject::connect(&button, &ImageButtonWidget::clicked, [&] { duringClick = shown(); });
    mouse(QEvent::MouseButtonPress);
    mouse(QEvent::MouseButtonRelease);
    EXPECT_EQ(duringClick, kDown);
    EXPECT_EQ(shown(), kUp);
}

TEST_F(ImageButtonWidgetTest, ReleasingOffTheButtonDoesNotClick) {
    enter();
    mouse(QEvent::MouseButtonPress);
    leave();
    EXPECT_EQ(shown(), kDown);  // still held
    mouse(QEvent::MouseButtonRelease, {100, 100});
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(shown(), kUp);
}

TEST_F(ImageButtonWidgetTest, DisabledButtonFollowsTheMouseButIgnoresPresses) {
    button.setEnabled(false);
    mouse(QEvent::MouseButtonPress);
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(shown(), kUp);
    mouse(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks, 0);
    enter();
    EXPECT_EQ(shown(), kOver);
    leave();
    EXPECT_EQ(shown(), kUp);
}

TEST_F(ImageButtonWidgetTest, DisablingAHeldButtonLetsItGoUp) {
    QObject::connect(&button, &ImageButtonWidget::clicked, [&] { button.setEnabled(false); });
    mouse(QEvent::MouseButtonPress);
    mouse(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(shown(), kUp);
    button.setEnabled(true);
    EXPECT_EQ(shown(), kUp);
}

TEST_F(ImageButtonWidgetTest, MissingPicturesAreTheNormalOne) {
    button.setImages(solid(52, 58, kUp), QImage(), QImage());
    enter();
    EXPECT_EQ(shown(), kUp);
    mouse(QEvent::MouseButtonPress);
    EXPECT_EQ(shown(), kUp);
}

TEST_F(ImageButtonWidgetTest, ANormalPictureNarrowerThanTwoPixelsGivesTheButtonFace) {
    button.setImages(solid(1, 58, kUp), solid(52, 58, kDown), solid(52, 58, kOver));
    EXPECT_EQ(shown(), kBtnFace);
    mouse(QEvent::MouseButtonPress);
    EXPECT_EQ(shown(), kBtnFace);
}

TEST_F(ImageButtonWidgetTest, PicturesAreDrawnAtTheirSizeOverTheParentsColour) {
    QWidget parent;
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(1, 2, 3));
    parent.setPalette(pal);
    ImageButtonWidget small(&parent);
    small.resize(52, 58);
    small.setUpImage(solid(10, 10, kUp));
    const QImage img = small.grab().toImage();
    EXPECT_EQ(img.pixelColor(5, 5), kUp);
    EXPECT_EQ(img.pixelColor(30, 30), QColor(1, 2, 3));
    small.setStretch(true);
    EXPECT_EQ(small.grab().toImage().pixelColor(30, 30), kUp);
}

TEST_F(ImageButtonWidgetTest, TransparentButtonLeavesOutItsTransparentColour) {
    QImage picture = solid(52, 58, kUp);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            picture.setPixelColor(x, y, Qt::white);
    Backdrop window(QSize(100, 100), QColor(9, 99, 9));
    ImageButtonWidget key(&window);
    key.setGeometry(10, 10, 52, 58);
    key.setImages(picture, QImage(), QImage());
    key.setTransparent(true);
    const QImage img = window.grab().toImage();
    EXPECT_EQ(img.pixelColor(15, 15), QColor(9, 99, 9));
    EXPECT_EQ(img.pixelColor(30, 30), kUp);
    key.setTransparent(false);
    EXPECT_EQ(window.grab().toImage().pixelColor(15, 15), Qt::white);
}

}  // namespace
}  // namespace tolvan::gui
