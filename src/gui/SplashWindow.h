#pragma once

#include <QImage>
#include <QWidget>

namespace tolvan {
struct Splash;
}

namespace tolvan::gui {

// The splash window TfrmCarregando: a "Carregando ..." card made at start-up and never shown.
class SplashWindow : public QWidget {
  public:
    explicit SplashWindow(const QImage& icon);
    // Takes the model's size and place (collapsed at the main window's first activation).
    void follow(const Splash& model);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tolvan::gui
