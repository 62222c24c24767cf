// tolvan-screenshot FILE.png: saves the whole X screen ($DISPLAY) as a PNG picture, for the
// demo without a desktop and for the end-to-end tests' records.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tolvan-screenshot FILE.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tolvan-screenshot: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
