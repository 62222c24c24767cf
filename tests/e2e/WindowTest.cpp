// The main window and the Qt dialogs on Qt's offscreen platform, the model on the simulated
// clock: what the window shows follows the model, and clicks and keys reach the model's
// handlers in the right order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "gui/DisplayListWidget.h"
#include "gui/MainWindow.h"
#include "gui/VirtualKeys.h"
#include "gui/widgets/ImageButtonWidget.h"
#include "link/PortDialog.h"
#include "platform/QtDialogs.h"
#include "sim/TestRig.h"

namespace tolvan::gui {
namespace {

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.setSystems(
            {{"Alfa", "A.BIN", 4, "AL.BIN", 2, "", 0}, {"Beta", "B.BIN", 4, "BL.BIN", 2, "", 0}});
        window = std::make_unique<MainWindow>(rig.sessao(), PanelArtwork::load(), rig.desktop);
        // As the program's entry does: creation, then the window's first activation.
        rig.sessao().cria();
        window->showCentred();
        settle();
    }
    void TearDown() override { window.reset(); }

    // Lets the window take up the model's changes.
    static void settle() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    template <typename T>
    T* child(const char* name) {
        T* w = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    void pressKey(int qtKey) {
        QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &press);
        settle();
    }

    Componentes& f() { return rig.componentes(); }

    sim::TestRig rig;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowTest, DrawsTheMainMenuOfTheModel) {
    auto* visor = child<DisplayListWidget>("lbxVisor");
    EXPECT_EQ(visor->lines(), QStringList({"", "Conexão", "Porta de Comunicação", "Sobre o Produto",
                                           "Sair do Programa", ""}));
    EXPECT_EQ(visor->currentRow(), 1);
    EXPECT_EQ(child<DisplayListWidget>("lbxSinalizador")->lines().at(1), ">");
    EXPECT_EQ(child<QLabel>("lblStatus")->text(), "[Desconectado]");
    EXPECT_EQ(visor->geometry(), QRect(99, 69, 225, 122));
    EXPECT_EQ(window->size(), QSize(589, 288));
    EXPECT_FALSE(child<QWidget>("iLedBar1")->isVisible());
}

// A press below the selectable lines is clamped by the model; the window shows the outcome.
TEST_F(WindowTest, ClickOnTheDisplayGoesToTheModel) {
    auto* visor = child<DisplayListWidget>("lbxVisor");
    for (auto& e : rig.desktop.errors)
        std::cerr << "ERR " << e << "\n";
    for (auto& e : rig.messages())
        std::cerr << "MSG " << e << "\n";
    QTest::mouseClick(visor, Qt::LeftButton, {}, QPoint(20, 5 * 19 + 5));
    settle();
    EXPECT_EQ(f().lbxVisor.itemIndex(), 4);
    EXPECT_EQ(visor->currentRow(), 4);
    EXPECT_EQ(f().nav.LinhaSinal, 4);
}

// The window's key handler runs first and rewrites the port file; then the display's own
// handling moves the pointer.
TEST_F(WindowTest, KeysGoToTheWindowThenToTheDisplay) {
    rig.removeFile("\\Orsolite\\Comuns\\Comm.txt");
    pressKey(Qt::Key_Down);
    EXPECT_EQ(f().lbxVisor.itemIndex(), 2);
    EXPECT_TRUE(rig.exists("\\Orsolite\\Comuns\\Comm.txt"));
    pressKey(Qt::Key_F5);
    EXPECT_EQ(rig.dialogs.aboutShown, 1);
}

// While the panel is disabled its controls take no clicks, but the window still hears keys.
TEST_F(WindowTest, DisabledPanelTakesNoClicksButTheWindowHearsKeys) {
    f().painel.AtivaFuncoes(false);
    settle();
    auto* confirma = child<ImageButtonWidget>("btnConfirma");
    EXPECT_FALSE(confirma->isEnabled());
    QTest::mouseClick(confirma, Qt::LeftButton);
    QTest::mouseClick(child<DisplayListWidget>("lbxVisor"), Qt::LeftButton, {}, QPoint(20, 70));
    settle();
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
    pressKey(Qt::Key_F5);
    EXPECT_EQ(rig.dialogs.aboutShown, 1);
    pressKey(Qt::Key_Down);
    EXPECT_EQ(f().lbxVisor.itemIndex(), 1);
}

TEST_F(WindowTest, ClosingTheWindowClosesTheModel) {
    window->close();
    EXPECT_TRUE(rig.form().closed());
    EXPECT_EQ(rig.desktop.quitCalls, 1);
}

// The region shapes the window where a mask does (X11). Where it does not (Wayland), the
// window is translucent and paints only the region: drawn without the window's own mask,
// everything outside the region stays transparent.
TEST_F(WindowTest, SelectorRegionIsTheOnlyPartPainted) {
    f().janela.setRegion({Rect{500, 72, 790, 88}, Rect{500, 50, 653, 69}});
    settle();
    EXPECT_EQ(window->mask(), QRegion(500, 72, 290, 16) + QRegion(500, 50, 153, 19));
    EXPECT_TRUE(window->testAttribute(Qt::WA_TranslucentBackground));
    QImage drawn(window->size(), QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    window->render(&drawn, {}, {}, QWidget::DrawChildren | QWidget::IgnoreMask);
    EXPECT_EQ(qAlpha(drawn.pixel(10, 10)), 0);     // the picture
    EXPECT_EQ(qAlpha(drawn.pixel(110, 80)), 0);    // the display
    EXPECT_EQ(qAlpha(drawn.pixel(440, 190)), 0);   // Confirma
    EXPECT_EQ(qAlpha(drawn.pixel(520, 60)), 255);  // the caption's rectangle
    EXPECT_EQ(qAlpha(drawn.pixel(520, 80)), 255);  // the bar's
}

// With "debug.txt" in the current folder the receive log shows, line by line.
TEST(WindowDebugTest, ReceiveLogShowsWithDebugFile) {
    sim::TestRig rig;
    rig.setSystems({{"Alfa", "A.BIN", 4, "AL.BIN", 2, "", 0}});
    std::ofstream("debug.txt") << "";
    MainWindow window(rig.sessao(), PanelArtwork::load(), rig.desktop);
    rig.sessao().cria();
    window.showCentred();
    rig.componentes().diagnostico.registraRecepcao("00 03 01");
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    auto* memo = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->isVisible());
    EXPECT_EQ(memo->geometry(), QRect(240, 64, 129, 113));
    EXPECT_TRUE(memo->toPlainText().contains(QStringLiteral("00 03 01")));
}

// The port dialog works on its model: a click takes the line's number, Esc does nothing, and
// the title bar's close keeps what the clicks chose (OK would read a blank line as port 1).
TEST(PortDialogTest, ClicksAndTitleBarClose) {
    sim::FakePortRegistry registry;
    registry.entries = {{"COM1", "/dev/a"}, {"COM4", "/dev/b"}};
    PortDialog model(registry);
    model.Porta = 4;
    QtDialogs dialogs("Vessaro");
    QTimer::singleShot(0, [&] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Porta de Comunicação"));
        auto* list = dlg->findChild<QListWidget*>(QStringLiteral("lbxPorta"));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 6);
        EXPECT_EQ(list->currentRow(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(2)).center());
        QTest::keyClick(dlg, Qt::Key_Escape);
        EXPECT_TRUE(dlg->isVisible());
        dlg->close();
    });
    dialogs.showPortDialog(model);
    EXPECT_EQ(model.Porta, 3);
}

TEST(VirtualKeysTest, WindowsCodesOfTheKeysThePanelKnows) {
    EXPECT_EQ(virtualKeyOf(Qt::Key_Return, false), 13);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Enter, true), 13);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Escape, false), 27);
    EXPECT_EQ(virtualKeyOf(Qt::Key_PageUp, false), 33);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Home, false), 36);
    EXPECT_EQ(virtualKeyOf(Qt::Key_Down, false), 40);
    EXPECT_EQ(virtualKeyOf(Qt::Key_F1, false), 112);
    EXPECT_EQ(virtualKeyOf(Qt::Key_F6, false), 117);
    EXPECT_EQ(virtualKeyOf(Qt::Key_A, false), 'A');
    EXPECT_EQ(virtualKeyOf(Qt::Key_7, true), 0x67);
    EXPECT_EQ(virtualKeyOf(Qt::Key_7, false), '7');
    EXPECT_EQ(virtualKeyOf(Qt::Key_unknown, false), 0);
}

// A Yes/No question as the program builds it: Enter gives Yes, Esc No, the title bar 2.
class MessageDialogTest : public ::testing::Test {
  protected:
    static MessageDialog question() {
        MessageDialog d;
        d.kind = 3;
        d.title = "Confirmação";
        d.text = "Sair?\rSim ou não";
        d.buttons = {{6, "Sim"}, {7, "Não"}};
        d.defaultCode = 6;
        d.cancelCode = 7;
        return d;
    }
    // Runs `act` on the dialog once it is open, and returns the dialog's result.
    int answer(const MessageDialog& d, std::function<void(QMessageBox&)> act) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = box;
            text = box->text();
            title = box->windowTitle();
            for (QAbstractButton* b : box->buttons())
                captions << b->text();
            act(*box);
        });
        return dialogs.showMessage(d);
    }
    QtDialogs dialogs{"Vessaro"};
    QMessageBox* seen = nullptr;
    QString text, title;
    QStringList captions;
};

TEST_F(MessageDialogTest, EnterEscapeAndTitleBar) {
    EXPECT_EQ(answer(question(), [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }), 6);
    EXPECT_EQ(text, "Sair?\nSim ou não");
    EXPECT_EQ(title, "Confirmação");
    EXPECT_EQ(captions, QStringList({"Sim", "Não"}));
    EXPECT_EQ(answer(question(), [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }), 7);
    EXPECT_EQ(answer(question(), [](QMessageBox& b) { b.close(); }), kClosedByTitleBar);
}

TEST_F(MessageDialogTest, WithoutCancelButtonEscapeDoesNothing) {
    MessageDialog d = question();
    d.cancelCode = 0;
    d.title.reset();
    EXPECT_EQ(answer(d,
                     [](QMessageBox& b) {
                         QTest::keyClick(&b, Qt::Key_Escape);
                         EXPECT_TRUE(b.isVisible());
                         b.buttons().at(1)->click();
                     }),
              7);
    EXPECT_EQ(title, "Vessaro");
}

}  // namespace
}  // namespace tolvan::gui

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
