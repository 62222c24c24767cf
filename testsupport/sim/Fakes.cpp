#include "sim/Fakes.h"

#include <algorithm>
#include <system_error>

#include "app/AboutBox.h"
#include "link/PortDialog.h"
#include "sim/SimLoop.h"

namespace tolvan::sim {

int ScriptedDialogs::showMessage(const MessageDialog& dialog) {
    messages.push_back(dialog);
    int result = dialog.defaultCode;
    if (result == 0)
        result = dialog.buttons.empty() ? kClosedByTitleBar : dialog.buttons.front().code;
    if (onMessage) {
        dismissed_.push_back(false);
        result = onMessage(dialog);
        if (dismissed_.back()) result = kClosedByTitleBar;
        dismissed_.pop_back();
    }
    return result;
}

void ScriptedDialogs::dismissMessage() {
    if (dismissed_.empty() || dismissed_.back()) return;
    dismissed_.back() = true;
    ++dismissals;
}

bool ScriptedDialogs::staysOpenFor(SimLoop& loop, std::int64_t ms) {
    const std::size_t mine = dismissed_.size() - 1;
    return loop.runUntil([&] { return dismissed_[mine]; }, ms);
}

void ScriptedDialogs::showPlainMessage(const std::string& text) {
    plainMessages.push_back(text);
    if (onPlainMessage) onPlainMessage(text);
}

void ScriptedDialogs::showAbout(AboutBox& about) {
    ++aboutShown;
    if (onAbout) onAbout(about);
}

void ScriptedDialogs::showPortDialog(PortDialog& dialog) {
    ++portDialogsShown;
    dialog.FormActivate();
    if (onPortDialog) {
        onPortDialog(dialog);
    } else {
        dialog.btnOkClick();
    }
}

std::optional<std::string> ScriptedDialogs::showSelectPort(const SelectPortRequest& request) {
    selectPortRequests.push_back(request);
    if (onSelectPort) return onSelectPort(request);
    return std::nullopt;
}

std::vector<std::string> ScriptedDialogs::texts() const {
    std::vector<std::string> out;
    for (const MessageDialog& m : messages)
        out.push_back(m.text);
    return out;
}

bool FakeDesktop::closeWindowTitled(const std::string& title) {
    if (!windowTitles.count(title)) return false;
    closeRequests.push_back(title);
    windowTitles.erase(title);
    return true;
}

void FakeDesktop::quit() {
    ++quitCalls;
    loop_.quit();
}

CatalogueOpenResult FakeCatalogueStore::open(const std::filesystem::path& file) {
    opened.push_back(file);
    if (forced) return *forced;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        return {std::nullopt, CatalogueProblem::Missing, "no file"};
    }
    return {table, CatalogueProblem::None, {}};
}

void FakeCatalogueStore::setSystems(const std::vector<System>& systems) {
    auto text = [](std::string s) {
        CatalogueValue v;
        v.type = CatalogueValue::Type::Text;
        v.text = std::move(s);
        return v;
    };
    auto integer = [](std::int64_t n) {
        CatalogueValue v;
        v.type = CatalogueValue::Type::Integer;
        v.integer = n;
        return v;
    };
    table.columns.assign(std::begin(catalogo::kColunas), std::end(catalogo::kColunas));
    table.rows.clear();
    // The query orders the rows by Descricao.
    std::vector<System> sorted = systems;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const System& a, const System& b) { return a.descricao < b.descricao; });
    for (const System& s : sorted) {
        table.rows.push_back({text(s.descricao), text(s.arquivo), integer(s.setor),
                              text(s.arquivoL), integer(s.setorL), text(s.arquivoL2),
                              integer(s.setorL2)});
    }
}

}  // namespace tolvan::sim
