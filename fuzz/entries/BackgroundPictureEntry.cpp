#include <QByteArray>
#include <QImage>
#include <QString>

#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "gui/JpegImage.h"

namespace tolvan::fuzz {

// The selector mode's background picture (FundoComum.jpg, left by the launcher) through the
// program's own JPEG reader: a picture, or a null image and a reason.
void fuzzBackgroundPicture(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const QImage picture = gui::JpegImage::decode(bytes, &error);
    if (picture.isNull()) {
        expect(!error.isEmpty(), "a picture refused without a reason");
        return;
    }
    expect(static_cast<qint64>(picture.width()) * picture.height() <= gui::JpegImage::kMaxPixels,
           "a picture larger than the reader allows");
    expect(picture.format() == QImage::Format_RGB32, "a picture in another format");
}

}  // namespace tolvan::fuzz
