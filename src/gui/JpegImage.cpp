#include "JpegImage.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace tolvan::gui {

namespace {

constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

// libjpeg reports failures through this: the message is kept and control jumps back to the
// routine that set `jump`, which cleans up.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failWithMessage(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are not printed. A file that ends before its picture does is a failure: libjpeg
// would otherwise fill the rest with grey and call it a picture.
void onMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) failWithMessage(info);
}

void setError(QString* error, const char* text) {
    if (error) *error = QString::fromLocal8Bit(text);
}

// Everything that must outlive a jump back to the setjmp point lives here, outside the frame
// that calls setjmp, so no object with a destructor is skipped or left indeterminate.
struct Decoding {
    jpeg_decompress_struct info{};
    ErrorManager err{};
    QImage image;
    std::vector<unsigned char> row;
};

bool decodeInto(Decoding& d, const unsigned char* data, unsigned long size) {
    d.info.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = failWithMessage;
    d.err.pub.emit_message = onMessage;
    d.err.message[0] = '\0';
    if (setjmp(d.err.jump)) {
        jpeg_destroy_decompress(&d.info);
        return false;
    }
    jpeg_create_decompress(&d.info);
    jpeg_mem_src(&d.info, const_cast<unsigned char*>(data), size);
    jpeg_read_header(&d.info, TRUE);

    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    d.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    if (static_cast<qint64>(d.info.image_width) * d.info.image_height > JpegImage::kMaxPixels) {
        std::snprintf(d.err.message, sizeof d.err.message, "Picture too large (%u x %u)",
                      d.info.image_width, d.info.image_height);
        jpeg_destroy_decompress(&d.info);
        return false;
    }
    jpeg_start_decompress(&d.info);

    const int width = static_cast<int>(d.info.output_width);
    const int height = static_cast<int>(d.info.output_height);
    d.image = QImage(width, height, QImage::Format_RGB888);
    if (d.image.isNull()) {
        std::snprintf(d.err.message, sizeof d.err.message, "Not enough memory for the picture");
        jpeg_destroy_decompress(&d.info);
        return false;
    }
    d.row.resize(static_cast<size_t>(width) * d.info.output_components);
    while (d.info.output_scanline < d.info.output_height) {
        const int y = static_cast<int>(d.info.output_scanline);
        JSAMPROW target = cmyk ? d.row.data() : d.image.scanLine(y);
        if (jpeg_read_scanlines(&d.info, &target, 1) != 1) break;
        if (cmyk) {
            // Adobe writes CMYK inverted; what is left is ink coverage times key.
            unsigned char* out = d.image.scanLine(y);
            const bool inverted = d.info.saw_Adobe_marker;
            for (int x = 0; x < width; ++x) {
                int c = d.row[4 * x], m = d.row[4 * x + 1], yl = d.row[4 * x + 2],
                    k = d.row[4 * x + 3];
                if (!inverted) c = 255 - c, m = 255 - m, yl = 255 - yl, k = 255 - k;
                out[3 * x] = static_cast<unsigned char>(c * k / 255);
                out[3 * x + 1] = static_cast<unsigned char>(m * k / 255);
                out[3 * x + 2] = static_cast<unsigned char>(yl * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&d.info);
    jpeg_destroy_decompress(&d.info);
    return true;
}

struct Encoding {
    jpeg_compress_struct info{};
    ErrorManager err{};
    QImage rgb;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

bool encodeInto(Encoding& e, int quality) {
    e.info.err = jpeg_std_error(&e.err.pub);
    e.err.pub.error_exit = failWithMessage;
    e.err.message[0] = '\0';
    if (setjmp(e.err.jump)) {
        jpeg_destroy_compress(&e.info);
        return false;
    }
    jpeg_create_compress(&e.info);
    jpeg_mem_dest(&e.info, &e.buffer, &e.size);
    e.info.image_width = static_cast<JDIMENSION>(e.rgb.width());
    e.info.image_height = static_cast<JDIMENSION>(e.rgb.height());
    const bool grey = e.rgb.format() == QImage::Format_Grayscale8;
    e.info.input_components = grey ? 1 : 3;
    e.info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, quality, TRUE);
    jpeg_start_compress(&e.info, TRUE);
    while (e.info.next_scanline < e.info.image_height) {
        JSAMPROW row = e.rgb.scanLine(static_cast<int>(e.info.next_scanline));
        jpeg_write_scanlines(&e.info, &row, 1);
    }
    jpeg_finish_compress(&e.info);
    jpeg_destroy_compress(&e.info);
    return true;
}

}  // namespace

QImage JpegImage::decode(const QByteArray& data, QString* error) {
    if (data.isEmpty()) {
        setError(error, "Empty file");
        return {};
    }
    Decoding d;
    if (!decodeInto(d, reinterpret_cast<const unsigned char*>(data.constData()),
                    static_cast<unsigned long>(data.size()))) {
        setError(error, d.err.message);
        return {};
    }
    return d.image.convertToFormat(QImage::Format_RGB32);
}

QImage JpegImage::load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = file.errorString();
        return {};
    }
    if (file.size() > kMaxFileBytes) {
        setError(error, "File too large");
        return {};
    }
    return decode(file.readAll(), error);
}

QByteArray JpegImage::encode(const QImage& image, int quality, QString* error) {
    if (image.isNull()) {
        setError(error, "No picture");
        return {};
    }
    Encoding e;
    e.rgb = image.convertToFormat(image.format() == QImage::Format_Grayscale8
                                      ? QImage::Format_Grayscale8
                                      : QImage::Format_RGB888);
    QByteArray out;
    if (encodeInto(e, quality)) {
        out = QByteArray(reinterpret_cast<const char*>(e.buffer), static_cast<qsizetype>(e.size));
    } else {
        setError(error, e.err.message);
    }
    std::free(e.buffer);
    return out;
}

bool JpegImage::save(const QImage& image, const QString& path, int quality, QString* error) {
    const QByteArray bytes = encode(image, quality, error);
    if (bytes.isEmpty()) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace tolvan::gui
