#include "gui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

#include "app/Sessao.h"
#include "gui/DiagnosticListModel.h"
#include "gui/DisplayListWidget.h"
#include "gui/JpegImage.h"
#include "gui/VirtualKeys.h"
#include "gui/widgets/ImageButtonWidget.h"
#include "gui/widgets/LedBarWidget.h"
#include "gui/widgets/PanelFonts.h"
#include "gui/widgets/RaisedLabelWidget.h"
#include "gui/widgets/SystemColours.h"
#include "services/Desktop.h"

namespace tolvan::gui {

namespace {

const QColor kOlive{128, 128, 0};
constexpr int kItemHeight = 19;

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QStringList linesOf(const ListBox& list) {
    QStringList lines;
    lines.reserve(list.count());
    for (const std::string& line : list.items())
        lines << qs(line);
    return lines;
}

QRect rectOf(const Rect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

// The window's client area, painted by the window.
class Surface : public QWidget {
  public:
    Surface(QWidget* window, std::function<void(QPainter&)> paint)
        : QWidget(window), paint_(std::move(paint)) {
        setObjectName(QStringLiteral("surface"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paint_(p);
    }

  private:
    std::function<void(QPainter&)> paint_;
};

}  // namespace

MainWindow::MainWindow(Sessao& sessao, const PanelArtwork& artwork, Desktop& desktop)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      sessao_(sessao),
      model_(sessao.vista()),
      desktop_(desktop) {
    setObjectName(QStringLiteral("frmTolvanLink"));
    setWindowTitle(QStringLiteral("frmTolvanLink"));
    // X11 and Windows (SetWindowRgn) shape a window by its mask; elsewhere the mask is only where
    // the mouse is taken. The surface covers the whole window, whose own background never shows.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && platform != QLatin1String("windows")) {
        setAttribute(Qt::WA_TranslucentBackground);
    } else {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    surface_ = new Surface(this, [this](QPainter& p) { paintSurface(p); });
    build(artwork);
    sessao_.setView(this);
    for (ControlId id :
         {ControlId::Window, ControlId::ImgTolvanLink, ControlId::lblMsg, ControlId::lblFechar,
          ControlId::lbxVisor, ControlId::lbxSinalizador, ControlId::lblStatus, ControlId::btnUp,
          ControlId::btnDown, ControlId::btnRetorna, ControlId::btnConfirma, ControlId::lblMsg2,
          ControlId::iLedBar1, ControlId::Memo1, ControlId::DiagnosticLists})
        refresh(id);
    // The window previews every key before the control that has the focus.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    sessao_.setView(nullptr);
}

void MainWindow::build(const PanelArtwork& artwork) {
    panelPicture_ = artwork.panel;
    const QFont arial16 = panelFont(QStringLiteral("Arial"), 16, true);

    auto raised = [this](const char* name, const QFont& font) {
        auto* label = new RaisedLabelWidget(surface_);
        label->setObjectName(QLatin1String(name));
        label->setFont(font);
        label->setFontColor(kWindowText);
        label->setTextStyle(TextStyle::tsRaised);
        label->setOnMouseTextStyle(TextStyle::tsRaised);
        label->setShadowColor(kBtnShadow);
        label->setOnMouseShadowColor(kBtnShadow);
        label->setOnMouseBorderColor(QColor(255, 255, 0));
        return label;
    };
    lblMsg_ = raised("lblMsg", arial16);
    lblMsg2_ = raised("lblMsg2", arial16);
    lblFechar_ = raised("lblFechar", panelFont(QStringLiteral("Arial"), 11, true));
    lblFechar_->setToolTip(QStringLiteral("Sair do Programa"));
    lblFechar_->setCursor(Qt::PointingHandCursor);
    connect(lblFechar_, &RaisedLabelWidget::clicked, this,
            [this] { sessao_.clique(ControlId::lblFechar); });

    auto list = [this, &arial16](const char* name) {
        auto* w = new DisplayListWidget(surface_);
        w->setObjectName(QLatin1String(name));
        w->setFont(arial16);
        w->setItemHeight(kItemHeight);
        w->setBackground(kOlive);
        w->setCursor(Qt::PointingHandCursor);
        return w;
    };
    lbxVisor_ = list("lbxVisor");
    lbxSinalizador_ = list("lbxSinalizador");
    connect(lbxVisor_, &DisplayListWidget::rowPressed, this,
            [this](int row) { sessao_.clique(ControlId::lbxVisor, row); });
    connect(lbxVisor_, &DisplayListWidget::rowDoubleClicked, this,
            [this](int) { sessao_.duploClique(ControlId::lbxVisor); });
    connect(lbxSinalizador_, &DisplayListWidget::rowPressed, this,
            [this](int row) { sessao_.clique(ControlId::lbxSinalizador, row); });

    lblStatus_ = new QLabel(surface_);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    lblStatus_->setFont(panelFont(QStringLiteral("MS Sans Serif"), 11));
    lblStatus_->setAutoFillBackground(true);
    QPalette statusPalette = lblStatus_->palette();
    statusPalette.setColor(QPalette::Window, kOlive);
    statusPalette.setColor(QPalette::WindowText, kWindowText);
    lblStatus_->setPalette(statusPalette);
    lblStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto button = [this](const char* name, const KeyPictures& pictures, const char* hint,
                         ControlId id) {
        auto* b = new ImageButtonWidget(surface_);
        b->setObjectName(QLatin1String(name));
        b->setImages(pictures.up, pictures.down, pictures.mouseOver);
        b->setToolTip(QString::fromUtf8(hint));
        b->setCursor(Qt::PointingHandCursor);
        connect(b, &ImageButtonWidget::clicked, this, [this, id] { sessao_.clique(id); });
        return b;
    };
    btnUp_ = button("btnUp", artwork.btnUp, "Sobe", ControlId::btnUp);
    btnDown_ = button("btnDown", artwork.btnDown, "Desce", ControlId::btnDown);
    btnRetorna_ = button("btnRetorna", artwork.btnRetorna, "Retorna", ControlId::btnRetorna);
    btnConfirma_ = button("btnConfirma", artwork.btnConfirma, "Confirma", ControlId::btnConfirma);

    iLedBar1_ = new LedBarWidget(surface_);
    iLedBar1_->setObjectName(QStringLiteral("iLedBar1"));
    iLedBar1_->setBar(&model_.iLedBar1);

    memo1_ = new QPlainTextEdit(surface_);
    memo1_->setObjectName(QStringLiteral("Memo1"));
    memo1_->setReadOnly(true);
    memo1_->setFocusPolicy(Qt::NoFocus);
    memo1_->setFont(panelFont(QStringLiteral("MS Sans Serif"), 11, true));
    QPalette memoPalette = memo1_->palette();
    memoPalette.setColor(QPalette::Base, Qt::black);
    memoPalette.setColor(QPalette::Text, Qt::white);
    memo1_->setPalette(memoPalette);

    // The eight byte lists lie below the window's client area and are never seen.
    int left = 0;
    for (const DiagnosticList* l : model_.listasDeDiagnostico) {
        auto* model = new DiagnosticListModel(*l, this);
        auto* view = new QListView(surface_);
        view->setUniformItemSizes(true);
        view->setModel(model);
        view->setFocusPolicy(Qt::NoFocus);
        view->setGeometry(left, 296, 70, 100);
        view->hide();
        left += 72;
        diagnostics_.push_back({l, model, view});
    }
}

// ---- Model to window ----

void MainWindow::changed(ControlId control) {
    dirty_.insert(control);
    if (flushQueued_) return;
    flushQueued_ = true;
    QTimer::singleShot(0, this, [this] { flush(); });
}

void MainWindow::repaintNow(ControlId control) {
    // A blocking routine may ask for thousands of immediate repaints a second (reading an image
    // file updates its count every 100 bytes); the screen shows one a frame, so a request within
    // a frame of the last drawing waits for the next one, or for the event loop.
    constexpr qint64 kFrameMs = 16;
    QElapsedTimer& drawn = drawnAt_[control];
    if (drawn.isValid() && drawn.elapsed() < kFrameMs) {
        changed(control);
        return;
    }
    drawn.start();
    dirty_.erase(control);
    refresh(control);
    if (control == ControlId::Window || control == ControlId::ImgTolvanLink) {
        repaint();
    } else if (QWidget* w = widgetOf(control); w && w->isVisible()) {
        w->repaint();
    }
}

void MainWindow::flush() {
    flushQueued_ = false;
    const std::set<ControlId> dirty = std::move(dirty_);
    dirty_.clear();
    for (ControlId id : dirty)
        refresh(id);
}

QWidget* MainWindow::widgetOf(ControlId control) const {
    switch (control) {
        case ControlId::lblMsg:
            return lblMsg_;
        case ControlId::lblFechar:
            return lblFechar_;
        case ControlId::lbxVisor:
            return lbxVisor_;
        case ControlId::lbxSinalizador:
            return lbxSinalizador_;
        case ControlId::lblStatus:
            return lblStatus_;
        case ControlId::btnUp:
            return btnUp_;
        case ControlId::btnDown:
            return btnDown_;
        case ControlId::btnRetorna:
            return btnRetorna_;
        case ControlId::btnConfirma:
            return btnConfirma_;
        case ControlId::lblMsg2:
            return lblMsg2_;
        case ControlId::iLedBar1:
            return iLedBar1_;
        case ControlId::Memo1:
            return memo1_;
        default:
            return nullptr;
    }
}

void MainWindow::place(QWidget* widget, const Control& control) {
    const QRect r = rectOf(control.bounds());
    if (widget->geometry() != r) widget->setGeometry(r);
    widget->setEnabled(control.enabled());
    widget->setVisible(control.visible());
}

void MainWindow::refresh(ControlId control) {
    const Vista& f = model_;
    switch (control) {
        case ControlId::Window:
            refreshWindow();
            break;
        case ControlId::ImgTolvanLink:
            refreshPicture();
            break;
        case ControlId::lblMsg:
            refreshLabel(lblMsg_, control);
            break;
        case ControlId::lblFechar:
            refreshLabel(lblFechar_, control);
            break;
        case ControlId::lblMsg2:
            refreshLabel(lblMsg2_, control);
            break;
        case ControlId::lbxVisor:
            refreshList(lbxVisor_, control);
            break;
        case ControlId::lbxSinalizador:
            refreshList(lbxSinalizador_, control);
            break;
        case ControlId::lblStatus:
            lblStatus_->setText(qs(f.lblStatus.caption()));
            place(lblStatus_, f.lblStatus);
            break;
        case ControlId::btnUp:
            place(btnUp_, f.btnUp);
            break;
        case ControlId::btnDown:
            place(btnDown_, f.btnDown);
            break;
        case ControlId::btnRetorna:
            place(btnRetorna_, f.btnRetorna);
            break;
        case ControlId::btnConfirma:
            place(btnConfirma_, f.btnConfirma);
            break;
        case ControlId::iLedBar1:
            place(iLedBar1_, f.iLedBar1);
            iLedBar1_->update();
            break;
        case ControlId::Memo1:
            refreshMemo();
            break;
        case ControlId::DiagnosticLists:
            refreshDiagnostics();
            break;
        case ControlId::Focus:
            refreshFocus();
            break;
    }
}

void MainWindow::refreshWindow() {
    const Control& w = model_.janela;
    if (size() != QSize(w.width(), w.height())) setFixedSize(w.width(), w.height());
    surface_->setGeometry(0, 0, w.width(), w.height());
    const QPoint origin = screen() ? screen()->geometry().topLeft() : QPoint();
    const QPoint at = origin + QPoint(w.left(), w.top());
    if (pos() != at) move(at);
    // Only the region is drawn and takes the mouse.
    const std::vector<Rect>& region = model_.janela.region();
    if (region.empty()) {
        clearMask();
        surface_->clearMask();
    } else {
        QRegion mask;
        for (const Rect& r : region)
            mask += rectOf(r);
        setMask(mask);
        surface_->setMask(mask);
    }
    surface_->update();
}

void MainWindow::refreshPicture() {
    const std::string& file = model_.ImgTolvanLink.jpegFile();
    if (file != jpegFile_) {
        jpegFile_ = file;
        QString error;
        jpegPicture_ = file.empty() ? QImage() : JpegImage::load(qs(file), &error);
        if (!file.empty() && jpegPicture_.isNull())
            desktop_.reportError(file + ": " + error.toStdString());
    }
    surface_->update(rectOf(model_.ImgTolvanLink.bounds()));
}

void MainWindow::refreshLabel(RaisedLabelWidget* widget, ControlId control) {
    const Label& l = control == ControlId::lblMsg      ? model_.lblMsg
                     : control == ControlId::lblFechar ? model_.lblFechar
                                                       : model_.lblMsg2;
    widget->setText(qs(l.caption()));
    widget->setTransparent(l.transparent());
    widget->setOnMouseBorderWidth(l.onMouseBorderWidth());
    place(widget, l);
    widget->update();
}

void MainWindow::refreshList(DisplayListWidget* widget, ControlId control) {
    const ListBox& l = control == ControlId::lbxVisor ? model_.lbxVisor : model_.lbxSinalizador;
    place(widget, l);
    widget->setLines(linesOf(l));
    widget->setCurrentRow(l.itemIndex());
    if (control == ControlId::lbxVisor) refreshFocus();
}

void MainWindow::refreshMemo() {
    place(memo1_, model_.Memo1);
    const std::vector<std::string>& lines = model_.Memo1.lines();
    if (static_cast<int>(lines.size()) < memoLines_) {
        memo1_->clear();
        memoLines_ = 0;
    }
    for (; memoLines_ < static_cast<int>(lines.size()); ++memoLines_)
        memo1_->appendPlainText(qs(lines[memoLines_]));
}

void MainWindow::refreshDiagnostics() {
    for (DiagnosticView& d : diagnostics_) {
        d.model->refresh();
        // Setting the selection is never taken for a click.
        const QSignalBlocker block(d.view->selectionModel());
        const int row = d.list->itemIndex();
        d.view->setCurrentIndex(row >= 0 ? d.model->index(row) : QModelIndex());
    }
}

void MainWindow::refreshFocus() {
    if (model_.foco == ControlId::lbxVisor && lbxVisor_->isEnabled() && isVisible())
        lbxVisor_->setFocus(Qt::OtherFocusReason);
}

// ---- Window to model ----

void MainWindow::showCentred() {
    if (QScreen* s = screen()) {
        const QSize area = s->geometry().size();
        sessao_.centra(area.width(), area.height());
    }
    refresh(ControlId::Window);
    show();
    raise();
    activateWindow();
    // Without a window manager the window may never be told it is active: the model's
    // activation then runs as soon as the window is up.
    QTimer::singleShot(0, this, [this] { activateOnce(); });
}

void MainWindow::activateOnce() {
    if (activated_) return;
    activated_ = true;
    refreshFocus();
    sessao_.ativa();
    if (afterFirstActivation) afterFirstActivation();
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && isVisible()) {
        // After the activation of the model has run its course, not from inside it.
        QTimer::singleShot(0, this, [this] { activateOnce(); });
    }
    return QWidget::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != this) return false;
    auto* k = static_cast<QKeyEvent*>(event);
    const int vk = virtualKeyOf(k->key(), k->modifiers().testFlag(Qt::KeypadModifier));
    if (vk != 0) sessao_.tecla(vk);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Every way of closing the window goes through the model, which ends the program.
    sessao_.fecha();
    event->accept();
}

void MainWindow::paintSurface(QPainter& p) {
    p.fillRect(surface_->rect(), kBtnFace);
    const Control& picture = model_.ImgTolvanLink;
    if (!picture.visible()) return;
    const QRect box = rectOf(picture.bounds());
    p.setClipRect(box);
    const QImage& image = jpegPicture_.isNull() ? panelPicture_ : jpegPicture_;
    p.drawImage(box.topLeft(), image);
}

}  // namespace tolvan::gui
