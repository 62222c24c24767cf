#pragma once

#include <string>
#include <string_view>

#include "services/Dialogs.h"
#include "texts/TextTables.h"

namespace tolvan {

// Builds the message dialog of `Mensagem`: which message it is, the kind's title and each
// button's caption from the message table (entries 150 to 161), the default and the cancel
// button.
MessageDialog montaMensagem(const TextTables& tables, std::string_view text, int kind,
                            unsigned buttons, MessageId id = MessageId::Outra);

}  // namespace tolvan
