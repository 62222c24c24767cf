// tolvan-screenshot FILE.png [WINDOW-ID]: saves the X screen ($DISPLAY), or only the window
// with that id (as xdotool prints it), as a PNG picture, for the demo without a desktop, the
// README's pictures and the end-to-end tests' records.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "Usage: tolvan-screenshot FILE.png [WINDOW-ID]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const WId window = argc == 3 ? static_cast<WId>(std::strtoull(argv[2], nullptr, 0)) : 0;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(window).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tolvan-screenshot: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
