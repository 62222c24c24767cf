#pragma once

#include <QFont>
#include <QString>

namespace tolvan::gui {

// A font by its Windows name and character height in pixels: Arial is matched by the
// metric-compatible Liberation Sans, "MS Sans Serif" and the rest by the nearest sans.
QFont panelFont(const QString& windowsFamily, int pixelHeight, bool bold = false,
                bool italic = false);

}  // namespace tolvan::gui
