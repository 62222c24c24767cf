#include "texts/Mensagem.h"

#include <array>

#include "texts/DefaultTexts.h"

namespace tolvan {

namespace {

// Result codes of the buttons in the order of the mask's bits: Yes, No, OK, Cancel, Abort,
// Retry, Ignore, All, No to all, Yes to all, Help.
constexpr std::array<int, 11> kCodigoPorBit = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};

constexpr int kResultRetry = 4;
constexpr int kResultNoToAll = 9;
constexpr int kResultYesToAll = 10;

// Entry `index` of the message table. A table too short for the dialog's entries (a missing or
// truncated file) falls back to the built-in Portuguese text; an entry that exists is used as
// it is, even when empty.
std::string entrada(const TextTables& tables, int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < tables.Mensagens.size())
        return tables.Mensagens[static_cast<std::size_t>(index)];
    const auto& padrao = textosPadraoDialogo();
    const int k = index - kPrimeiraEntradaDialogo;
    if (k >= 0 && static_cast<std::size_t>(k) < padrao.size())
        return padrao[static_cast<std::size_t>(k)];
    return {};
}

std::string legenda(const TextTables& tables, int code) {
    if (code == 0) return {};
    if (code >= kResultOk && code <= 8) return entrada(tables, kPrimeiraEntradaDialogo - 1 + code);
    // Buttons the table has no entry for keep the platform's captions.
    if (code == kResultNoToAll) return "No to All";
    if (code == kResultYesToAll) return "Yes to All";
    return {};
}

}  // namespace

MessageDialog montaMensagem(const TextTables& tables, std::string_view text, int kind,
                            unsigned buttons, MessageId id) {
    MessageDialog d;
    d.id = id;
    d.kind = kind;
    d.text = std::string(text);

    std::array<bool, 11> has{};  // by result code
    for (std::size_t bit = 0; bit < kCodigoPorBit.size(); ++bit) {
        if (!(buttons & (1u << bit))) continue;
        const int code = kCodigoPorBit[bit];
        has[code] = true;
        d.buttons.push_back({code, legenda(tables, code)});
    }

    if (has[kResultOk])
        d.defaultCode = kResultOk;
    else if (has[kResultSim])
        d.defaultCode = kResultSim;
    else if (has[kResultRetry])
        d.defaultCode = kResultRetry;

    if (has[kResultCancel])
        d.cancelCode = kResultCancel;
    else if (has[kResultNao])
        d.cancelCode = kResultNao;
    else if (has[kResultOk])
        d.cancelCode = kResultOk;

    switch (kind) {
        case kInformacao:
            d.title = entrada(tables, 158);
            break;
        case kErro:
            d.title = entrada(tables, 159);
            break;
        case kConfirmacao:
            d.title = entrada(tables, 160);
            break;
        case kAviso:
            d.title = entrada(tables, 161);
            break;
        default:
            break;  // the application's title
    }
    return d;
}

}  // namespace tolvan
