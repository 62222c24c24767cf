#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include "Artwork.h"

namespace tolvan::artwork {

namespace {

void put16(QByteArray& out, quint16 value) {
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

void put32(QByteArray& out, quint32 value) {
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), sizeof le);
}

}  // namespace

// Each picture goes in as PNG data, which every Windows since Vista reads; a 256 side is
// written as 0 in the directory's one-byte fields.
bool saveIco(const std::vector<QImage>& images, const QString& path) {
    std::vector<QByteArray> pngs;
    for (const QImage& image : images) {
        if (image.width() > 256 || image.height() > 256) return false;
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return false;
        pngs.push_back(png);
    }
    QByteArray out;
    put16(out, 0);  // reserved
    put16(out, 1);  // an icon, not a cursor
    put16(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.append(static_cast<char>(images[i].width() & 0xFF));
        out.append(static_cast<char>(images[i].height() & 0xFF));
        out.append('\0');  // no palette
        out.append('\0');
        put16(out, 1);   // colour planes
        put16(out, 32);  // bits per pixel
        put32(out, static_cast<quint32>(pngs[i].size()));
        put32(out, offset);
        offset += static_cast<quint32>(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out.append(png);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(out) == out.size();
}

}  // namespace tolvan::artwork
