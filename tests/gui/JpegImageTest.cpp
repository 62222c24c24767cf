#include "gui/JpegImage.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace tolvan::gui {
namespace {

QImage gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
    return img;
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

class JpegImageTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path(const char* name) { return dir.filePath(QString::fromLatin1(name)); }
    void write(const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(JpegImageTest, ReadsBackWhatItWrote) {
    const QImage original = gradient(160, 120);
    QString error;
    ASSERT_TRUE(JpegImage::save(original, path("a.jpg"), 95, &error)) << error.toStdString();
    const QImage loaded = JpegImage::load(path("a.jpg"), &error);
    ASSERT_FALSE(loaded.isNull()) << error.toStdString();
    EXPECT_EQ(loaded.size(), QSize(160, 120));
    for (QPoint p : {QPoint(0, 0), QPoint(80, 60), QPoint(159, 119), QPoint(10, 100)})
        EXPECT_TRUE(near(loaded.pixel(p), original.pixel(p), 8)) << p.x() << "," << p.y();
}

TEST_F(JpegImageTest, GreyscalePicturesComeOutGrey) {
    QImage grey = gradient(64, 64).convertToFormat(QImage::Format_Grayscale8);
    const QByteArray bytes = JpegImage::encode(grey);
    const QImage loaded = JpegImage::decode(bytes);
    ASSERT_FALSE(loaded.isNull());
    const QRgb p = loaded.pixel(32, 32);
    EXPECT_NEAR(qRed(p), qGreen(p), 2);
}

TEST_F(JpegImageTest, MissingEmptyAndGarbageFilesGiveNoPictureAndAReason) {
    QString error;
    EXPECT_TRUE(JpegImage::load(path("none.jpg"), &error).isNull());
    EXPECT_FALSE(error.isEmpty());

    write(path("empty.jpg"), {});
    error.clear();
    EXPECT_TRUE(JpegImage::load(path("empty.jpg"), &error).isNull());
    EXPECT_FALSE(error.isEmpty());

    QByteArray garbage;
    std::srand(7);
    for (int i = 0; i < 5000; ++i)
        garbage.append(static_cast<char>(std::rand()));
    write(path("garbage.jpg"), garbage);
    error.clear();
    EXPECT_TRUE(JpegImage::load(path("garbage.jpg"), &error).isNull());
    EXPECT_FALSE(error.isEmpty());

    // A JPEG start followed by garbage.
    garbage[0] = char(0xFF);
    garbage[1] = char(0xD8);
    error.clear();
    EXPECT_TRUE(JpegImage::decode(garbage, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(JpegImageTest, AFileCutShortAnywhereIsRefused) {
    const QByteArray whole = JpegImage::encode(gradient(64, 48));
    ASSERT_FALSE(JpegImage::decode(whole).isNull());
    for (qsizetype cut = 1; cut < whole.size(); cut += 37) {
        QString error;
        EXPECT_TRUE(JpegImage::decode(whole.left(cut), &error).isNull()) << cut;
        EXPECT_FALSE(error.isEmpty()) << cut;
    }
    QString error;
    EXPECT_TRUE(JpegImage::decode(whole.left(whole.size() - 2), &error).isNull());
}

TEST_F(JpegImageTest, AbsurdDimensionsAreRefusedBeforeDecoding) {
    QByteArray bytes = JpegImage::encode(gradient(16, 16));
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    // Height and width follow the length and the precision byte.
    for (int i = 5; i < 9; ++i)
        bytes[sof + i] = char(0xFF);
    QString error;
    EXPECT_TRUE(JpegImage::decode(bytes, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace tolvan::gui
