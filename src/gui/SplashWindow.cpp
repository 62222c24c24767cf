#include "gui/SplashWindow.h"

#include <QLabel>
#include <QPainter>

#include "app/AboutBox.h"
#include "app/Splash.h"
#include "gui/widgets/PanelFonts.h"
#include "gui/widgets/SystemColours.h"

namespace tolvan::gui {

SplashWindow::SplashWindow(const QImage& icon)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmCarregando"));
    setFixedSize(Splash::kLargura, Splash::kAltura);
    auto label = [this](const QString& text, int x, int y, const QFont& font) {
        auto* l = new QLabel(text, this);
        l->setFont(font);
        l->adjustSize();
        l->move(x, y);
        return l;
    };
    auto* image = new QLabel(this);
    image->setGeometry(7, 11, 35, 35);
    image->setPixmap(QPixmap::fromImage(icon));
    QLabel* title = label(QString::fromUtf8(AboutBox::kTitulo), 45, 19,
                          panelFont(QStringLiteral("Arial"), 16, true));
    title->setFixedSize(194, 19);
    label(QString::fromUtf8(AboutBox::kVersao), 8, 54,
          panelFont(QStringLiteral("Arial"), 12, true));
    label(QStringLiteral("Carregando ..."), 162, 54,
          panelFont(QStringLiteral("Arial"), 12, true, true));
}

void SplashWindow::follow(const Splash& model) {
    setFixedWidth(model.width);
    move(model.left, y());
    repaint();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(192, 192, 192));
    // The panel's lowered inner bevel and the raised line under the title.
    p.setPen(kBtnShadow);
    p.drawLine(1, 1, width() - 2, 1);
    p.drawLine(1, 1, 1, height() - 2);
    p.setPen(kBtnHighlight);
    p.drawLine(1, height() - 2, width() - 2, height() - 2);
    p.drawLine(width() - 2, 1, width() - 2, height() - 2);
    p.drawLine(8, 51, 240, 51);
    p.setPen(kBtnShadow);
    p.drawLine(8, 52, 240, 52);
}

}  // namespace tolvan::gui
