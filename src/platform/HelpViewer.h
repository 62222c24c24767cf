#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvan {

struct HelpRequest;

// Opens the manual: the .chm file with an installed CHM viewer (xchm, kchmviewer), else with
// the desktop's default opener, detached from the program. When none is there, or the file is
// missing, nothing happens that the operator would notice.
class HelpViewer {
  public:
    // `manual` is the file on this machine; when it is empty the request's own text is used,
    // less the window type after ">".
    void show(const HelpRequest& request);

    // The programs tried in order, first the CHM viewers then the default opener.
    static std::vector<std::string> candidates();
    // The manual's file of a request.
    static std::filesystem::path manualOf(const HelpRequest& request);
};

}  // namespace tolvan
