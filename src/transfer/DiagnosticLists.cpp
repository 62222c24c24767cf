#include "transfer/DiagnosticLists.h"

#include <algorithm>

#include "services/Controls.h"
#include "services/Dialogs.h"

namespace tolvan {

int baldeDe(std::int32_t numero) {
    int balde = 0;
    while (balde < static_cast<int>(kFimDosBaldes.size()) && numero > kFimDosBaldes[balde])
        ++balde;
    return balde;
}

DiagnosticList& DiagnosticLists::ladoArquivo(int balde) {
    std::array<DiagnosticList*, 4> listas = {&ListBox1, &ListBox1a, &ListBox1b, &ListBox1c};
    return *listas[static_cast<std::size_t>(balde)];
}

DiagnosticList& DiagnosticLists::ladoLido(int balde) {
    std::array<DiagnosticList*, 4> listas = {&ListBox2, &ListBox2a, &ListBox2b, &ListBox2c};
    return *listas[static_cast<std::size_t>(balde)];
}

void DiagnosticLists::adicionaArquivo(std::int32_t numero, std::uint8_t byte) {
    ladoArquivo(baldeDe(numero)).add(numero, byte);
    pendente_ = true;
}

void DiagnosticLists::adicionaLido(std::int32_t numero, std::uint8_t byte) {
    ladoLido(baldeDe(numero)).add(numero, byte);
    pendente_ = true;
}

void DiagnosticLists::reservaArquivo(std::int32_t primeiro, std::size_t bytes) {
    // Only the last bucket is unbounded; the others hold at most 32700 lines each.
    const std::int64_t ultimo =
        static_cast<std::int64_t>(primeiro) + static_cast<std::int64_t>(bytes) - 1;
    const std::int64_t inicio = std::max<std::int64_t>(primeiro, kFimDosBaldes.back() + 1);
    if (ultimo >= inicio) ladoArquivo(3).reserve(static_cast<std::size_t>(ultimo - inicio + 1));
}

void DiagnosticLists::notifica() {
    if (!pendente_) return;
    pendente_ = false;
    view_.changed(ControlId::DiagnosticLists);
}

void DiagnosticLists::Button1Click() {
    for (int balde = 0; balde < 4; ++balde) {
        DiagnosticList& arquivo = ladoArquivo(balde);
        DiagnosticList& lido = ladoLido(balde);
        const std::size_t m = std::min(arquivo.count(), lido.count());
        // Lines are paired by position; equal number and byte is equal text, blanks and all.
        for (std::size_t i = 0; i < m; ++i) {
            if (arquivo.line(i) == lido.line(i)) continue;
            arquivo.setItemIndex(static_cast<int>(i));
            lido.setItemIndex(static_cast<int>(i));
            pendente_ = true;
            break;
        }
    }
    notifica();
    dialogs_.showPlainMessage("Fim");
}

void DiagnosticLists::Button2Click() {
    for (DiagnosticList* l : {&ListBox1, &ListBox2, &ListBox1a, &ListBox2a, &ListBox1b, &ListBox2b,
                              &ListBox1c, &ListBox2c})
        l->clear();
    pendente_ = true;
    notifica();
}

void DiagnosticLists::registraRecepcao(const std::string& textoBytes) {
    if (memo1_.visible()) memo1_.addLine(textoBytes);
    notifica();
}

}  // namespace tolvan
