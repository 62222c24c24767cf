#include "cli/HeadlessDesktop.h"

#include <QCoreApplication>
#include <QTimer>

namespace tolvan::cli {

void HeadlessDesktop::quit() {
    QCoreApplication::exit(0);
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
}

}  // namespace tolvan::cli
