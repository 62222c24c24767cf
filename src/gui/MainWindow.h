#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "gui/PanelArtwork.h"
#include "services/Controls.h"
#include "services/ViewListener.h"

class QLabel;
class QListView;
class QPainter;
class QPlainTextEdit;

namespace tolvan {
class Desktop;
class DiagnosticList;
class Sessao;
struct Vista;
}  // namespace tolvan

namespace tolvan::gui {

class DiagnosticListModel;
class DisplayListWidget;
class ImageButtonWidget;
class LedBarWidget;
class RaisedLabelWidget;

// The main window TfrmTolvanLink: draws the model as the session shows it and hands clicks, keys
// and the window's own events to the session. It keeps no behaviour of its own.
// Every control lies on one surface that fills the window. The window region masks both the
// window (the shape on X11 and Windows, where the mouse is taken everywhere) and the surface, so
// that only the region is painted: where a mask does not shape a window (Wayland), the window is
// translucent and shows what lies behind it elsewhere.
class MainWindow : public QWidget, public ViewListener {
    Q_OBJECT
  public:
    // `desktop` hears of a background picture that cannot be read.
    MainWindow(Sessao& sessao, const PanelArtwork& artwork, Desktop& desktop);
    ~MainWindow() override;

    void changed(ControlId control) override;
    void repaintNow(ControlId control) override;

    // Centres the window on its screen through the model and shows it.
    void showCentred();

    // Runs once, right after the model's first activation (the splash window follows it).
    std::function<void()> afterFirstActivation;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void activateOnce();

    void build(const PanelArtwork& artwork);
    void paintSurface(QPainter& p);
    void flush();
    void refresh(ControlId control);
    void refreshWindow();
    void refreshPicture();
    void refreshLabel(RaisedLabelWidget* widget, ControlId control);
    void refreshList(DisplayListWidget* widget, ControlId control);
    void refreshMemo();
    void refreshDiagnostics();
    void refreshFocus();
    QWidget* widgetOf(ControlId control) const;
    static void place(QWidget* widget, const Control& control);

    Sessao& sessao_;
    const Vista& model_;
    Desktop& desktop_;
    QImage panelPicture_;
    QImage jpegPicture_;
    std::string jpegFile_;

    QWidget* surface_ = nullptr;
    RaisedLabelWidget* lblMsg_ = nullptr;
    RaisedLabelWidget* lblFechar_ = nullptr;
    RaisedLabelWidget* lblMsg2_ = nullptr;
    DisplayListWidget* lbxVisor_ = nullptr;
    DisplayListWidget* lbxSinalizador_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    ImageButtonWidget* btnUp_ = nullptr;
    ImageButtonWidget* btnDown_ = nullptr;
    ImageButtonWidget* btnRetorna_ = nullptr;
    ImageButtonWidget* btnConfirma_ = nullptr;
    LedBarWidget* iLedBar1_ = nullptr;
    QPlainTextEdit* memo1_ = nullptr;
    int memoLines_ = 0;
    struct DiagnosticView {
        const DiagnosticList* list;
        DiagnosticListModel* model;
        QListView* view;
    };
    std::vector<DiagnosticView> diagnostics_;

    std::set<ControlId> dirty_;
    bool flushQueued_ = false;
    // When each control was last drawn at once, to hold immediate drawing to the screen's pace.
    std::map<ControlId, QElapsedTimer> drawnAt_;
    bool activated_ = false;
};

}  // namespace tolvan::gui
