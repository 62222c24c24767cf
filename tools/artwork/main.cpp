// Draws the pictures that the windows carry, the desktop entry's icon and the demo's
// selector-mode background, and writes them with a resource list into the folder given:
// tolvan_artwork <folder> [icon-size...]; the icon is written as tolvanlink-<size>.png for each
// size given, and those up to 256 together as tolvanlink.ico.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

#include "Artwork.h"
#include "gui/JpegImage.h"

using namespace tolvan::artwork;

namespace {

bool savePng(const QImage& image, const QDir& dir, const QString& name, QStringList& written) {
    if (!image.save(dir.filePath(name), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(dir.filePath(name)));
        return false;
    }
    written << name;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [icon-size...]\n", argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    QStringList embedded;
    bool ok = true;
    const QImage panel = drawPanel();
    ok &= savePng(panel, dir, QStringLiteral("panel.png"), embedded);
    for (const KeySpec& key : panelKeys()) {
        ok &= savePng(drawKey(key, KeyLook::Normal, panel), dir, key.name + ".png", embedded);
        ok &= savePng(drawKey(key, KeyLook::Pressed, panel), dir, key.name + "_down.png", embedded);
        ok &= savePng(drawKey(key, KeyLook::Hover, panel), dir, key.name + "_over.png", embedded);
    }
    const QImage preview = drawPanelPreview(panel);
    ok &= savePng(drawAbout(preview), dir, QStringLiteral("about.png"), embedded);
    ok &= savePng(drawIcon(35), dir, QStringLiteral("splash_icon.png"), embedded);
    ok &= savePng(drawIcon(256), dir, QStringLiteral("icon.png"), embedded);

    // Files beside the resources: the panel as the window shows it, the desktop entry's icon
    // in each size and the launcher's background for selector mode.
    QStringList loose;
    ok &= savePng(preview, dir, QStringLiteral("panel_preview.png"), loose);
    std::vector<QImage> icoSizes;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "bad icon size %s\n", argv[i]);
            return 2;
        }
        const QImage icon = drawIcon(size);
        ok &= savePng(icon, dir, QStringLiteral("tolvanlink-%1.png").arg(size), loose);
        if (size <= 256) icoSizes.push_back(icon);
    }
    if (!saveIco(icoSizes, dir.filePath(QStringLiteral("tolvanlink.ico")))) {
        std::fprintf(stderr, "cannot write tolvanlink.ico\n");
        ok = false;
    }
    QString error;
    if (!tolvan::gui::JpegImage::save(drawSelectorBackground(),
                                      dir.filePath(QStringLiteral("FundoComum.jpg")), 88, &error)) {
        std::fprintf(stderr, "cannot write FundoComum.jpg: %s\n", qPrintable(error));
        ok = false;
    }

    QFile qrc(dir.filePath(QStringLiteral("artwork.qrc")));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write artwork.qrc\n");
        return 1;
    }
    QTextStream out(&qrc);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/artwork\">\n";
    for (const QString& name : embedded)
        out << "    <file>" << name << "</file>\n";
    out << "</qresource>\n</RCC>\n";
    return ok ? 0 : 1;
}
