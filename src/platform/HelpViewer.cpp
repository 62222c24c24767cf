#include "platform/HelpViewer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <iostream>
#include <system_error>

#include "services/Desktop.h"

namespace tolvan {

std::vector<std::string> HelpViewer::candidates() {
    return {"xchm", "kchmviewer", "xdg-open"};
}

std::filesystem::path HelpViewer::manualOf(const HelpRequest& request) {
    if (!request.manual.empty()) return request.manual;
    // "<path>><window type>": the window type is the viewer's business on the other platform.
    std::string file = request.file;
    if (auto gt = file.find('>'); gt != std::string::npos) file.erase(gt);
    return file;
}

void HelpViewer::show(const HelpRequest& request) {
    const std::filesystem::path manual = manualOf(request);
    std::error_code ec;
    if (!manual.empty() && std::filesystem::is_regular_file(manual, ec)) {
        for (const std::string& name : candidates()) {
            const QString program = QStandardPaths::findExecutable(QString::fromStdString(name));
            if (program.isEmpty()) continue;
            if (QProcess::startDetached(program, {QString::fromStdString(manual.string())})) {
                return;
            }
        }
    }
    // Without the compiled manual or a viewer for it, the topic's own page beside it (the
    // installation ships manual/Index.html) opens in the desktop's browser.
    const std::filesystem::path topic = manual.parent_path() / request.topic;
    if (!request.topic.empty() && std::filesystem::is_regular_file(topic, ec)) {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!opener.isEmpty() &&
            QProcess::startDetached(opener, {QString::fromStdString(topic.string())})) {
            return;
        }
    }
    std::cerr << "TolvanLink: no manual or viewer for " << manual.string() << '\n';
}

}  // namespace tolvan
