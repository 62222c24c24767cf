#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace tolvan::gui {

// The program's own JPEG reader and writer on libjpeg. A file that is not a sound JPEG
// (missing, empty, garbage, cut short, absurdly large) gives a null image and the reason,
// never a crash.
class JpegImage {
  public:
    static QImage load(const QString& path, QString* error = nullptr);
    static QImage decode(const QByteArray& data, QString* error = nullptr);

    // Writes the image as a baseline JPEG, a greyscale one with one channel; false, with the
    // reason, when it cannot.
    static bool save(const QImage& image, const QString& path, int quality = 90,
                     QString* error = nullptr);
    static QByteArray encode(const QImage& image, int quality = 90, QString* error = nullptr);

    // Pictures larger than this many pixels are refused rather than decoded.
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
};

}  // namespace tolvan::gui
