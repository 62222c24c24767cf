#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tolvan {

// Why a file did not open, in the system's terms; the core words it for the operator.
enum class FileFault {
    None,
    NotFound,    // the file or a folder on its way is not there
    Denied,      // no permission
    Folder,      // a folder, not a file
    NotRegular,  // a pipe, a device, anything but a plain file
    TooManyLinks,
    NameTooLong,
    NoResources,  // out of handles or memory
    InputOutput,
    Other,  // see systemError
};

// An image file open for binary reading, or why it is not.
struct OpenedFile {
    std::FILE* file = nullptr;  // the caller closes it
    std::uintmax_t size = 0;    // its length when opened
    FileFault fault = FileFault::None;
    int systemError = 0;  // the system's own number for the failure
};

// Whether a small file was rewritten, and if not, why in the system's words.
struct Rewritten {
    bool ok = false;
    std::string reason;
};

// The files the core opens itself in folders that other operators share, where opening them
// naively would let one operator steer or stall another's program.
class FileAccess {
  public:
    virtual ~FileAccess() = default;

    // Rewrites the small file `file` with `content` in place, keeping its owner and rights (no
    // one may replace another's file in a shared folder, so no rename). A link or a pipe put in
    // its place is not written through nor waited on. A file made here is writable by everyone
    // who may write the folder, and is removed again when it could not be written. The content
    // goes over the old bytes before the file is cut to its length, so a full disk leaves the
    // old content readable.
    virtual Rewritten rewriteShared(const std::filesystem::path& file,
                                    std::string_view content) const = 0;

    // Opens `file` for binary reading only when it is a plain file, and never waits while
    // opening it (a pipe without a writer would wait for ever).
    virtual OpenedFile openRegular(const std::filesystem::path& file) const = 0;

    // Some files in the shared folder steer every operator's program (the port map, the
    // selection file): one counts only when root (on Windows the Administrators or the system) or
    // the running user owns it. A file that cannot be examined does not count; a link counts by
    // its own owner, not its target's.
    virtual bool ownedByRootOrMe(const std::filesystem::path& file) const = 0;
};

}  // namespace tolvan
