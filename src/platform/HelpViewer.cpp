#include "platform/HelpViewer.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QUrl>
#include <iostream>
#include <system_error>

#include "services/Desktop.h"

namespace tolvan {

namespace {

bool isFile(const std::filesystem::path& file) {
    std::error_code ec;
    return !file.empty() && std::filesystem::is_regular_file(file, ec);
}

}  // namespace

std::vector<std::string> HelpViewer::chmViewers() {
    return {"xchm", "kchmviewer"};
}

std::filesystem::path HelpViewer::manualOf(const HelpRequest& request) {
    if (!request.manual.empty()) return request.manual;
    // "<path>><window type>": the window type is the viewer's business on the other platform.
    std::string file = request.file;
    if (auto gt = file.find('>'); gt != std::string::npos) file.erase(gt);
    return file;
}

std::filesystem::path HelpViewer::htmlPageOf(const HelpRequest& request) {
    const std::filesystem::path folder = manualOf(request).parent_path();
    if (!request.topic.empty() && isFile(folder / request.topic)) return folder / request.topic;
    if (isFile(folder / "Index.html")) return folder / "Index.html";
    return {};
}

void HelpViewer::show(const HelpRequest& request) {
    const std::filesystem::path manual = manualOf(request);
    const bool compilado = isFile(manual);
    if (compilado) {
        for (const std::string& name : chmViewers()) {
            const QString program = QStandardPaths::findExecutable(QString::fromStdString(name));
            if (!program.isEmpty() &&
                QProcess::startDetached(program, {QString::fromStdString(manual.string())})) {
                return;
            }
        }
    }
    auto abre = [](const std::filesystem::path& file) {
        return QDesktopServices::openUrl(
            QUrl::fromLocalFile(QString::fromStdString(file.string())));
    };
    const std::filesystem::path page = htmlPageOf(request);
    if (!page.empty() && abre(page)) return;
    if (compilado && abre(manual)) return;
    std::cerr << "TolvanLink: the manual does not open: "
              << (page.empty() && !compilado ? "no manual in " + manual.parent_path().string()
                                             : "no program opens it (xdg-utils, xchm)")
              << '\n';
}

}  // namespace tolvan
