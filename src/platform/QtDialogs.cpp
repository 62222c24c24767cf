#include "platform/QtDialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>

#include "app/AboutBox.h"
#include "link/PortDialog.h"

namespace tolvan {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QFont pixelFont(const QString& family, int pixels, bool bold, bool italic = false) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

// Arial is matched by Liberation Sans; "MS Sans Serif" falls back to the nearest sans, and of
// the sans fonts at hand Liberation Sans is the one whose widths fit the dialogs' fixed sizes.
QFont arial(int pixels, bool bold) {
    QFont f = pixelFont(QStringLiteral("Liberation Sans"), pixels, bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}
QFont sansSerif(int pixels, bool bold) {
    return arial(pixels, bold);
}

void centreOnScreen(QWidget& w) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    w.move(area.x() + (area.width() - w.width()) / 2, area.y() + (area.height() - w.height()) / 2);
}

// A message box whose title-bar close gives 2 whatever its buttons are, and whose Esc does
// nothing when it has no cancel button.
class MessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;
    bool closedByTitleBar = false;
    bool escapeCloses = true;
    bool dismissed = false;  // closed by the program, unanswered

  protected:
    void closeEvent(QCloseEvent* e) override {
        closedByTitleBar = true;
        QDialog::closeEvent(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape && !escapeCloses) {
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
};

QMessageBox::Icon iconFor(int kind) {
    switch (kind) {
        case kAviso:
            return QMessageBox::Warning;
        case kErro:
            return QMessageBox::Critical;
        case kInformacao:
            return QMessageBox::Information;
        case kConfirmacao:
            return QMessageBox::Question;
        default:
            return QMessageBox::NoIcon;
    }
}

// A dialog that Esc does not close.
class NoEscapeDialog : public QDialog {
  public:
    using QDialog::QDialog;

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            e->accept();
            return;
        }
        QDialog::keyPressEvent(e);
    }
};

// The white panel of the about box with its bevels: lowered outside, raised inside.
class BevelPanel : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, Qt::white);
        auto frame = [&p](QRect box, QColor topLeft, QColor bottomRight) {
            p.setPen(topLeft);
            p.drawLine(box.topLeft(), box.topRight());
            p.drawLine(box.topLeft(), box.bottomLeft());
            p.setPen(bottomRight);
            p.drawLine(box.bottomLeft(), box.bottomRight());
            p.drawLine(box.topRight(), box.bottomRight());
        };
        frame(r, QColor(128, 128, 128), Qt::white);
        frame(r.adjusted(1, 1, -1, -1), Qt::white, QColor(128, 128, 128));
    }
};

QLabel* addLabel(QWidget* parent, const QString& text, int x, int y, const QFont& font,
                 QColor colour) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->adjustSize();
    label->move(x, y);
    return label;
}

// With TOLVAN_MESSAGE_LOG naming a file, each message shown (and the port dialog's list) is
// appended to it as one line:
// monotonic µs, tab, title, tab, text (\r, \n, \t and \\ escaped). Off by default; it lets
// an end-to-end test read what the operator read.
void logMessage(const std::string& title, const std::string& text) {
    const char* file = std::getenv("TOLVAN_MESSAGE_LOG");
    if (!file || !*file) return;
    std::string line = std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
    line += '\t' + title + '\t';
    for (char c : text) {
        switch (c) {
            case '\r':
                line += "\\r";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\t':
                line += "\\t";
                break;
            case '\\':
                line += "\\\\";
                break;
            default:
                line += c;
        }
    }
    std::ofstream(file, std::ios::app) << line << '\n';
}

}  // namespace

QString messageText(const std::string& text) {
    QString t = qs(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

QtDialogs::QtDialogs(std::string applicationTitle)
    : applicationTitle_(std::move(applicationTitle)) {}

int QtDialogs::showMessage(const MessageDialog& dialog) {
    MessageBox box(owner_);
    box.setIcon(iconFor(dialog.kind));
    box.setWindowTitle(qs(dialog.title.value_or(applicationTitle_)));
    box.setTextFormat(Qt::PlainText);
    box.setText(messageText(dialog.text));
    logMessage(box.windowTitle().toStdString(), dialog.text);

    std::map<QAbstractButton*, int> codes;
    QPushButton* defaultButton = nullptr;
    QPushButton* cancelButton = nullptr;
    for (const MessageDialog::Button& b : dialog.buttons) {
        // Roles only order nothing here: every button is an action, kept in the mask's order.
        QPushButton* button = box.addButton(qs(b.caption), QMessageBox::ActionRole);
        codes[button] = b.code;
        if (b.code != 0 && b.code == dialog.defaultCode && !defaultButton) defaultButton = button;
        if (b.code != 0 && b.code == dialog.cancelCode && !cancelButton) cancelButton = button;
    }
    if (defaultButton) box.setDefaultButton(defaultButton);
    if (cancelButton) {
        box.setEscapeButton(cancelButton);
    } else {
        box.escapeCloses = false;
    }

    open_.emplace_back(&box);
    box.exec();
    open_.pop_back();
    if (box.closedByTitleBar || box.dismissed) return kClosedByTitleBar;
    auto it = codes.find(box.clickedButton());
    // Closed without a button: the program is ending.
    return it == codes.end() ? kClosedByTitleBar : it->second;
}

void QtDialogs::dismissMessage() {
    if (open_.empty() || !open_.back()) return;
    auto* box = static_cast<MessageBox*>(open_.back().data());
    box->dismissed = true;
    // Hidden at once; its own event loop returns once the handlers it runs have returned.
    box->done(QDialog::Rejected);
}

void QtDialogs::showPlainMessage(const std::string& text) {
    MessageBox box(owner_);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(qs(applicationTitle_));
    box.setTextFormat(Qt::PlainText);
    box.setText(messageText(text));
    logMessage(applicationTitle_, text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

void QtDialogs::showAbout(AboutBox& about) {
    NoEscapeDialog dlg(owner_, Qt::Dialog | Qt::FramelessWindowHint);
    dlg.setObjectName(QStringLiteral("frmAbout"));
    dlg.setWindowTitle(qs(AboutBox::kTitulo));
    dlg.setFixedSize(380, 336);

    auto* panel = new BevelPanel(&dlg);
    panel->setObjectName(QStringLiteral("P_Imagem"));
    panel->setGeometry(0, 0, 380, 336);

    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("Im_IconProgram"));
    picture->setGeometry(18, 48, 359, 286);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!aboutPicture_.isNull()) picture->setPixmap(aboutPicture_);

    const QColor grey(128, 128, 128);
    addLabel(panel, qs(AboutBox::kTitulo), 12, 4, arial(21, true), Qt::black);
    addLabel(panel, qs(AboutBox::kVersao), 288, 8, sansSerif(13, true), QColor(80, 80, 80));
    addLabel(panel, qs(AboutBox::kEmpresa), 12, 26, sansSerif(11, false), grey);
    addLabel(panel, qs(AboutBox::kData), 12, 40, sansSerif(11, false), grey);
    addLabel(panel, qs(AboutBox::kRotuloSistemas), 232, 179, arial(11, true), Qt::black);
    addLabel(panel, qs(AboutBox::kSite), 182, 300, sansSerif(11, true), grey);
    addLabel(panel, qs(AboutBox::kEmail), 168, 316, sansSerif(11, true), grey);

    auto* list = new QListWidget(panel);
    list->setObjectName(QStringLiteral("lbxSisInstall"));
    list->setGeometry(232, 192, 121, 97);
    list->setFont(sansSerif(11, false));
    list->setUniformItemSizes(true);
    for (const std::string& line : about.lbxSisInstall) {
        auto* item = new QListWidgetItem(qs(line), list);
        item->setSizeHint(QSize(100, 13));
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), panel);
    ok->setObjectName(QStringLiteral("Bt_OK"));
    ok->setGeometry(8, 306, 64, 22);
    ok->setFont(arial(15, true));
    ok->setToolTip(QStringLiteral("Voltar"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);

    centreOnScreen(dlg);
    ok->setFocus();
    dlg.exec();
}

void QtDialogs::showPortDialog(PortDialog& model) {
    NoEscapeDialog dlg(owner_, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dlg.setObjectName(QStringLiteral("frmPorta"));
    dlg.setWindowTitle(QStringLiteral("Porta de Comunicação"));
    dlg.setFixedSize(187, 112);
    dlg.setFont(sansSerif(11, false));

    auto* label = new QLabel(QStringLiteral("Selecione a porta de comunicação:"), &dlg);
    label->adjustSize();
    label->move(8, 8);

    auto* list = new QListWidget(&dlg);
    list->setObjectName(QStringLiteral("lbxPorta"));
    list->setGeometry(8, 24, 169, 57);
    list->setUniformItemSizes(true);

    auto* ok = new QPushButton(QStringLiteral("&OK"), &dlg);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setGeometry(56, 88, 53, 20);
    ok->setAutoDefault(false);

    // The list shows the model; a programmatic selection is never taken for a click.
    auto refresh = [&] {
        const QSignalBlocker block(list);
        list->clear();
        for (const std::string& line : model.lines()) {
            auto* item = new QListWidgetItem(qs(line), list);
            item->setSizeHint(QSize(150, 13));
        }
        list->setCurrentRow(model.selected());
    };
    auto click = [&](int row) {
        if (row < 0) return;
        model.lbxPortaClick(row);
    };
    QObject::connect(list, &QListWidget::currentRowChanged, &dlg, click);
    QObject::connect(list, &QListWidget::itemPressed, &dlg,
                     [&](QListWidgetItem* item) { click(list->row(item)); });
    QObject::connect(ok, &QPushButton::clicked, &dlg, [&] {
        model.btnOkClick();
        dlg.accept();
    });

    // Activation fills the list from the machine's ports and preselects the current one.
    model.FormActivate();
    refresh();
    // What the operator reads there goes to the message log too, the lines apart by \r.
    std::string lines;
    for (std::size_t i = 0; i < model.lines().size(); ++i)
        lines += (i == 0 ? "" : "\r") + model.lines()[i];
    logMessage(dlg.windowTitle().toStdString(), lines);
    centreOnScreen(dlg);
    list->setFocus();
    dlg.exec();
}

std::optional<std::string> QtDialogs::showSelectPort(const SelectPortRequest& request) {
    QDialog dlg(owner_);
    dlg.setWindowTitle(qs(request.caption));
    auto* layout = new QVBoxLayout(&dlg);
    layout->addWidget(new QLabel(qs(request.line1), &dlg));
    layout->addWidget(new QLabel(qs(request.line2), &dlg));
    auto* combo = new QComboBox(&dlg);
    for (const std::string& choice : request.choices)
        combo->addItem(qs(choice));
    layout->addWidget(combo);
    auto* buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    if (dlg.exec() != QDialog::Accepted || combo->currentIndex() < 0) return std::nullopt;
    return combo->currentText().toStdString();
}

}  // namespace tolvan
