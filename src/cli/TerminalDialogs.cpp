#include "cli/TerminalDialogs.h"

#include <algorithm>

#include "cli/Answers.h"
#include "cli/Events.h"
#include "services/Paths.h"

namespace tolvan::cli {

namespace {

bool has(const MessageDialog& d, int code) {
    return std::any_of(d.buttons.begin(), d.buttons.end(),
                       [code](const MessageDialog::Button& b) { return b.code == code; });
}

std::string captionOf(const MessageDialog& d, int code) {
    for (const MessageDialog::Button& b : d.buttons)
        if (b.code == code) return b.caption;
    return {};
}

}  // namespace

int TerminalDialogs::showMessage(const MessageDialog& d) {
    const std::string title = d.title.value_or(kApplicationTitle);
    const bool question = has(d, kResultSim) && has(d, kResultNao);
    std::vector<std::string> buttons;
    if (question) {
        for (const MessageDialog::Button& b : d.buttons)
            buttons.push_back(b.caption);
    }
    publish_(events::message(d.id, title, d.text, buttons));
    if (question) {
        const int code = answers_.question(d);
        // A question closed unanswered has no answer to tell.
        if (code != kClosedByTitleBar) publish_(events::answer(captionOf(d, code)));
        return code;
    }
    if (d.id == MessageId::DesconecteCabo) {
        answers_.waitForCable(d);
        // The polls start as the message closes.
        answers_.connectionBegins();
    }
    // Closed with its default button (OK), as Enter closes the dialog.
    return d.defaultCode != 0 ? d.defaultCode : kResultOk;
}

void TerminalDialogs::dismissMessage() {
    answers_.dismiss();
}

void TerminalDialogs::showPlainMessage(const std::string& text) {
    publish_(events::message(MessageId::Outra, kApplicationTitle, text));
}

}  // namespace tolvan::cli
