#include <gtest/gtest.h>

#include "texts/Mensagem.h"

namespace tolvan {
namespace {

TextTables tableOf(std::size_t entries) {
    TextTables t;
    for (std::size_t i = 0; i < entries; ++i)
        t.Mensagens.push_back("E" + std::to_string(i));
    return t;
}

std::vector<int> codes(const MessageDialog& d) {
    std::vector<int> out;
    for (const auto& b : d.buttons)
        out.push_back(b.code);
    return out;
}

TEST(MensagemTest, ButtonsFollowTheMaskWithCaptionsFromTheTable) {
    const MessageDialog d = montaMensagem(tableOf(162), "Texto\rlinha", kAviso, 0x7FF);
    EXPECT_EQ(codes(d), (std::vector<int>{6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0}));
    std::vector<std::string> captions;
    for (const auto& b : d.buttons)
        captions.push_back(b.caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"E155", "E156", "E150", "E151", "E152", "E153",
                                                  "E154", "E157", "No to All", "Yes to All", ""}));
    EXPECT_EQ(d.text, "Texto\rlinha");
    EXPECT_EQ(d.kind, kAviso);
}

TEST(MensagemTest, DefaultAndCancelButtons) {
    struct Case {
        unsigned mask;
        int defaultCode, cancelCode;
    };
    const TextTables t = tableOf(162);
    for (const Case& c : {Case{kBotoesSimNao, 6, 7}, Case{kBotaoOk, 1, 1}, Case{4 | 8, 1, 2},
                          Case{1 | 8, 6, 2}, Case{0x20 | 0x40, 4, 0}, Case{0x10 | 0x400, 0, 0}}) {
        const MessageDialog d = montaMensagem(t, "x", kConfirmacao, c.mask);
        EXPECT_EQ(d.defaultCode, c.defaultCode) << c.mask;
        EXPECT_EQ(d.cancelCode, c.cancelCode) << c.mask;
    }
}

TEST(MensagemTest, TitleByKind) {
    const TextTables t = tableOf(162);
    EXPECT_EQ(montaMensagem(t, "", kInformacao, 4).title, "E158");
    EXPECT_EQ(montaMensagem(t, "", kErro, 4).title, "E159");
    EXPECT_EQ(montaMensagem(t, "", kConfirmacao, 3).title, "E160");
    EXPECT_EQ(montaMensagem(t, "", kAviso, 4).title, "E161");
    EXPECT_FALSE(montaMensagem(t, "", 4, 4).title.has_value());
}

TEST(MensagemTest, ShortTableFallsBackToBuiltInTextsButEmptyEntriesStayEmpty) {
    TextTables t = tableOf(156);  // entries up to 155 (Yes)
    t.Mensagens[150] = "";
    const MessageDialog d = montaMensagem(t, "x", kErro, kBotoesSimNao | kBotaoOk);
    ASSERT_EQ(d.buttons.size(), 3u);
    EXPECT_EQ(d.buttons[0].caption, "E155");
    EXPECT_EQ(d.buttons[1].caption, "N\u00E3o");
    EXPECT_EQ(d.buttons[2].caption, "");
    EXPECT_EQ(d.title, "Erro");
    EXPECT_EQ(montaMensagem(TextTables{}, "x", kInformacao, 4).title, "Informa\u00E7\u00E3o");
}

}  // namespace
}  // namespace tolvan
