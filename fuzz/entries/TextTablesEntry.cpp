#include <string>

#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "services/PathResolver.h"
#include "texts/DefaultTexts.h"
#include "texts/Mensagem.h"
#include "texts/TextTables.h"

namespace tolvan::fuzz {

void fuzzTextTables(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const int which = in.byte() % 3;
    const unsigned extraButtons = in.byte();
    const std::string file = in.rest();

    const PathResolver files(scratchFolder() / "texts");
    writeBytes(files.resolve(kCaptionsFile), which != 1 ? file : arquivoCaptionsPadrao());
    writeBytes(files.resolve(kMessagesFile), which != 0 ? file : arquivoMensagensPadrao());

    TextTables tables;
    tables.Idioma = "Português";
    try {
        CarregaTextos(tables, files, kCaptionsFile);
    } catch (const TextFileError& e) {
        throw FuzzFailure("a text file that is there failed to load: " + std::string(e.what()));
    }

    // Everything stored is text the window can show.
    expect(tables.CaptionNomes.size() == tables.CaptionTextos.size(),
           "a caption name without its text");
    for (const auto* list : {&tables.Mensagens, &tables.CaptionNomes, &tables.CaptionTextos})
        for (const std::string& text : *list)
            expect(isUtf8(text), "a loaded text is not UTF-8");

    // The one message dialog takes its title and button captions from the table.
    for (int kind = -1; kind <= 4; ++kind) {
        for (unsigned buttons : {0u, kBotoesSimNao, kBotaoOk, 0x7FFu, extraButtons << 3}) {
            const MessageDialog d = montaMensagem(tables, "Texto", kind, buttons);
            if (d.title) expect(isUtf8(*d.title), "a dialog title is not UTF-8");
            for (const MessageDialog::Button& b : d.buttons)
                expect(isUtf8(b.caption), "a button caption is not UTF-8");
        }
    }
}

}  // namespace tolvan::fuzz
