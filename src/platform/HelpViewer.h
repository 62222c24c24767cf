#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tolvan {

struct HelpRequest;

// Opens the manual: the compiled manual (.chm) with a CHM viewer (xchm, kchmviewer), detached
// from the program, when there are both; otherwise the HTML manual beside it (manual/<topic>,
// else manual/Index.html) with the desktop's URL handler (xdg-open, the portal inside a sandbox,
// or a browser Qt finds), or failing that the compiled manual with it. When nothing opens, one
// line on standard error and nothing the operator would notice.
class HelpViewer {
  public:
    void show(const HelpRequest& request);

    // The CHM viewers tried in order.
    static std::vector<std::string> chmViewers();
    // The compiled manual of a request: its `manual`, else its own text less the window type
    // after ">".
    static std::filesystem::path manualOf(const HelpRequest& request);
    // The HTML page of a request beside the compiled manual; empty when there is none.
    static std::filesystem::path htmlPageOf(const HelpRequest& request);
};

}  // namespace tolvan
