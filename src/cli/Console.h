#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan::cli {

// The terminal around tolvan-flash, as this machine's system tells of it (cli/posix or
// cli/win32, whichever the build is for).

// The program's arguments in UTF-8, as the operator typed them: on Windows from the wide
// command line (the ANSI code page would lose a path's other letters), and the console set to
// show UTF-8.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Whether standard input is an operator's terminal, who may answer prompts.
bool inputIsTerminal();

// Whether standard error is a terminal that takes the live view's escape codes (cursor up,
// erase to the end of the line).
bool errorsOnLiveTerminal();

// Standard error's terminal width in columns; 80 when it is not known.
std::size_t terminalColumns();

// Standard input, read without holding up the event loop: `onInput` hears on the loop each piece
// as it arrives, and an empty piece once the input has ended. What arrives while no watch is
// there waits for the next one.
class InputWatch {
  public:
    explicit InputWatch(std::function<void(std::string_view)> onInput);
    ~InputWatch();
    InputWatch(const InputWatch&) = delete;
    InputWatch& operator=(const InputWatch&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tolvan::cli
