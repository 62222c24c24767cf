#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tolvan {

// The texts an installation ships with, and the built-in stand-ins for the entries the message
// dialog needs when the message table is missing or too short.

// Entries 150 to 161 of the message table: captions of the buttons with result codes 1 to 8,
// then the titles of the information, error, confirmation and warning dialogs.
inline constexpr int kPrimeiraEntradaDialogo = 150;
inline constexpr int kEntradasDialogo = 12;
const std::vector<std::string>& textosPadraoDialogo();

// The Portuguese message table of a new installation (162 entries), in UTF-8.
std::vector<std::string> mensagensPadrao();
// The Portuguese captions of a new installation: key and text.
std::vector<std::pair<std::string, std::string>> captionsPadrao();

// The two files of a new installation, encoded in Windows-1252 with CR LF line ends: a
// "[Português]" section closed by "[FIM]", followed by an English section.
std::string arquivoMensagensPadrao();
std::string arquivoCaptionsPadrao();

}  // namespace tolvan
