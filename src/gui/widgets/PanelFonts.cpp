#include "PanelFonts.h"

#include <QStringList>

namespace tolvan::gui {

QFont panelFont(const QString& windowsFamily, int pixelHeight, bool bold, bool italic) {
    QFont font;
    if (windowsFamily.compare(QStringLiteral("Arial"), Qt::CaseInsensitive) == 0) {
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    } else {
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    }
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

}  // namespace tolvan::gui
