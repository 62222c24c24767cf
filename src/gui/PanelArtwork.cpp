#include "gui/PanelArtwork.h"

#include <QString>

namespace tolvan::gui {

namespace {

// The pictures are drawn at build time into the resource library tolvan_artwork, which the
// program links in.
QImage picture(const char* name) {
    return QImage(QStringLiteral(":/artwork/") + QLatin1String(name) + QStringLiteral(".png"));
}

KeyPictures key(const char* name) {
    const QString base = QLatin1String(name);
    return {picture(name), picture((base + QStringLiteral("_down")).toLatin1().constData()),
            picture((base + QStringLiteral("_over")).toLatin1().constData())};
}

}  // namespace

PanelArtwork PanelArtwork::load() {
    PanelArtwork art;
    art.panel = picture("panel");
    art.btnUp = key("btnUp");
    art.btnDown = key("btnDown");
    art.btnRetorna = key("btnRetorna");
    art.btnConfirma = key("btnConfirma");
    art.about = picture("about");
    art.icon = picture("splash_icon");
    art.programIcon = picture("icon");
    return art;
}

}  // namespace tolvan::gui
