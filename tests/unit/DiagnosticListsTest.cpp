#include <gtest/gtest.h>

#include "TransferFixture.h"
#include "link/Frames.h"

namespace tolvan::test {
namespace {

class DiagnosticListsTest : public TransferTest {
  protected:
    void SetUp() override { rig.setSystems({{"Sistema", "M.BIN", 1, "L.BIN", 1, "", 0}}); }
    DiagnosticLists& d() { return f().diagnostico; }
};

TEST_F(DiagnosticListsTest, EntryNumbersChooseTheBucketOnBothSides) {
    rig.start();
    const std::vector<std::pair<std::int32_t, int>> bounds = {{1, 0},     {32700, 0}, {32701, 1},
                                                              {65400, 1}, {65401, 2}, {98100, 2},
                                                              {98101, 3}, {200000, 3}};
    for (auto [numero, balde] : bounds) {
        d().adicionaArquivo(numero, 0x3C);
        d().adicionaLido(numero, 0xAB);
        EXPECT_EQ(d().ladoArquivo(balde).text(d().ladoArquivo(balde).count() - 1),
                  std::to_string(numero) + ": 3C");
        EXPECT_EQ(d().ladoLido(balde).text(d().ladoLido(balde).count() - 1),
                  std::to_string(numero) + ": AB");
    }
    for (int balde = 0; balde < 4; ++balde)
        EXPECT_EQ(d().ladoArquivo(balde).count(), 2u);
}

// The first difference of each pair by position is selected in both lists; "Fim" always follows.
TEST_F(DiagnosticListsTest, CompareSelectsTheFirstDifferenceOfEachPair) {
    rig.start();
    d().adicionaArquivo(1, 0x3C);
    d().adicionaArquivo(2, 0x00);
    d().adicionaArquivo(3, 0x01);
    d().adicionaLido(1, 0x3C);
    d().adicionaLido(2, 0xFF);
    // Bucket 2: lists of different lengths that agree as far as both go.
    d().adicionaArquivo(32701, 0x10);
    d().adicionaLido(32701, 0x10);
    d().adicionaLido(32702, 0x11);
    // Bucket 3: the same bytes under other numbers are different lines.
    d().adicionaArquivo(65401, 0x20);
    d().adicionaLido(65402, 0x20);
    on([&] { d().Button1Click(); });

    EXPECT_EQ(d().ListBox1.itemIndex(), 1);
    EXPECT_EQ(d().ListBox2.itemIndex(), 1);
    EXPECT_EQ(d().ListBox1a.itemIndex(), -1);
    EXPECT_EQ(d().ListBox2a.itemIndex(), -1);
    EXPECT_EQ(d().ListBox1b.itemIndex(), 0);
    EXPECT_EQ(d().ListBox2b.itemIndex(), 0);
    EXPECT_EQ(rig.dialogs.plainMessages, std::vector<std::string>{"Fim"});

    on([&] { d().Button2Click(); });
    for (int balde = 0; balde < 4; ++balde) {
        EXPECT_EQ(d().ladoArquivo(balde).count() + d().ladoLido(balde).count(), 0u);
        EXPECT_EQ(d().ladoArquivo(balde).itemIndex(), -1);
    }
    on([&] { d().Button1Click(); });
    EXPECT_EQ(rig.dialogs.plainMessages.size(), 2u);
}

// The view hears of a whole file's lines once, not once a line.
TEST_F(DiagnosticListsTest, ReadingAFileNotifiesTheViewOnce) {
    rig.start();
    ViewRecorder view(rig.sessao());
    writeImage("M.BIN", pattern(5000));
    on([&] { f().arquivos.LeArqBin(built("M.BIN")); });
    EXPECT_EQ(d().ListBox1.count(), 5000u);
    EXPECT_EQ(view.changes[ControlId::DiagnosticLists], 1);
    // A second read appends its lines, numbered from 1 again.
    on([&] { f().arquivos.LeArqBin(built("M.BIN")); });
    EXPECT_EQ(d().ListBox1.count(), 10000u);
    EXPECT_EQ(d().ListBox1.text(4999),
              "5000: " + ByteHex(static_cast<std::uint8_t>(pattern(5000)[4999])));
    EXPECT_EQ(d().ListBox1.text(5000), "1: " + ByteHex(static_cast<std::uint8_t>(pattern(1)[0])));
    EXPECT_EQ(d().ListBox1.line(9999).number, 5000);
}

TEST_F(DiagnosticListsTest, ReceiveLogHasALinePerEventOnlyWithDebugTxt) {
    rig.writeFile("debug.txt", "");
    rig.start();
    rig.serial.deliverNow(bytes({0x00, 0x03, 0x01}));
    rig.loop.runFor(10);
    rig.serial.deliverNow(bytes({0xAB}));
    rig.loop.runFor(10);
    EXPECT_EQ(f().Memo1.lines(), (std::vector<std::string>{"00 03 01 ", "AB "}));
}

TEST_F(DiagnosticListsTest, ReceiveLogStaysEmptyWithoutDebugTxt) {
    rig.start();
    rig.writeFile("debug.txt", "");  // too late: looked for only at start
    rig.serial.deliverNow(bytes({0x00, 0x03, 0x01}));
    rig.loop.runFor(10);
    EXPECT_TRUE(f().Memo1.lines().empty());
}

}  // namespace
}  // namespace tolvan::test
