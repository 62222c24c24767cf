#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include "gui/JpegImage.h"

// The resources' registration is declared at global scope.
static void initArtwork() {
    Q_INIT_RESOURCE(tolvan_artwork);
}

namespace {

struct Picture {
    const char* name;
    int width, height;
};

TEST(ArtworkTest, EveryPictureIsThereAtTheSizeOfItsControl) {
    initArtwork();
    const Picture pictures[] = {
        {"panel", 589, 288},          {"about", 359, 286},     {"splash_icon", 35, 35},
        {"icon", 256, 256},           {"btnUp", 50, 58},       {"btnUp_down", 50, 58},
        {"btnUp_over", 50, 58},       {"btnDown", 52, 58},     {"btnDown_down", 52, 58},
        {"btnDown_over", 52, 58},     {"btnRetorna", 50, 58},  {"btnRetorna_down", 50, 58},
        {"btnRetorna_over", 50, 58},  {"btnConfirma", 52, 58}, {"btnConfirma_down", 52, 58},
        {"btnConfirma_over", 52, 58},
    };
    for (const Picture& p : pictures) {
        const QImage img(QStringLiteral(":/artwork/%1.png").arg(QLatin1String(p.name)));
        EXPECT_EQ(img.size(), QSize(p.width, p.height)) << p.name;
    }
}

TEST(ArtworkTest, EachKeyLooksDifferentPressedAndUnderTheMouse) {
    initArtwork();
    for (const char* key : {"btnUp", "btnDown", "btnRetorna", "btnConfirma"}) {
        const QString base = QStringLiteral(":/artwork/%1").arg(QLatin1String(key));
        const QImage up(base + ".png"), down(base + "_down.png"), over(base + "_over.png");
        EXPECT_NE(up, down) << key;
        EXPECT_NE(up, over) << key;
        EXPECT_NE(down, over) << key;
    }
}

TEST(ArtworkTest, PanelHasTheOliveDisplayWhereTheListsGo) {
    initArtwork();
    const QImage panel(QStringLiteral(":/artwork/panel.png"));
    for (QPoint p : {QPoint(88, 69), QPoint(323, 203), QPoint(200, 130)})
        EXPECT_EQ(panel.pixelColor(p), QColor(128, 128, 0)) << p.x() << "," << p.y();
    EXPECT_NE(panel.pixelColor(86, 67), QColor(128, 128, 0));
}

TEST(ArtworkTest, SelectorBackgroundIsAJpegOfTheWindowsSize) {
    const QString file = QStringLiteral(TOLVAN_ARTWORK_DIR "/FundoComum.jpg");
    QString error;
    const QImage img = tolvan::gui::JpegImage::load(file, &error);
    ASSERT_FALSE(img.isNull()) << error.toStdString();
    EXPECT_EQ(img.size(), QSize(800, 600));
}

// Windows takes the program's icon from this one file: every size of the loose icons, the same
// pixels.
TEST(ArtworkTest, WindowsIconHoldsEachSizeOfTheDesktopIcon) {
    QImageReader ico(QStringLiteral(TOLVAN_ARTWORK_DIR "/tolvanlink.ico"), "ico");
    const int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
    ASSERT_EQ(ico.imageCount(), static_cast<int>(std::size(sizes)));
    for (int i = 0; i < ico.imageCount(); ++i) {
        ASSERT_TRUE(ico.jumpToImage(i));
        const QImage fromIco = ico.read();
        const QImage loose(QStringLiteral(TOLVAN_ARTWORK_DIR "/tolvanlink-%1.png").arg(sizes[i]));
        EXPECT_EQ(fromIco.convertToFormat(QImage::Format_ARGB32),
                  loose.convertToFormat(QImage::Format_ARGB32))
            << sizes[i];
    }
}

}  // namespace
