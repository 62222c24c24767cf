#pragma once

#include <string>
#include <string_view>

#include "services/Dialogs.h"
#include "texts/TextTables.h"

namespace tolvan {

// Kinds of message.
inline constexpr int kAviso = 0;
inline constexpr int kErro = 1;
inline constexpr int kInformacao = 2;
inline constexpr int kConfirmacao = 3;

// Button sets, bit per button in this order: Yes, No, OK, Cancel, Abort, Retry, Ignore, All,
// No to all, Yes to all, Help.
inline constexpr unsigned kBotoesSimNao = 3;
inline constexpr unsigned kBotaoOk = 4;

// Result codes.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultSim = 6;
inline constexpr int kResultNao = 7;

// Builds the message dialog of `Mensagem`: the kind's title and each button's caption from the
// message table (entries 150 to 161), the default and the cancel button.
MessageDialog montaMensagem(const TextTables& tables, std::string_view text, int kind,
                            unsigned buttons);

}  // namespace tolvan
