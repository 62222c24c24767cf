// Writes a section-1 manual page from what a program prints for --help, so that the page says
// what the program says and never falls behind it. Usage:
//   tolvan_help_to_man OUTPUT NAME VERSION DATE SUMMARY SEE-ALSO PROGRAM [ARG...]
// runs PROGRAM [ARG...] --help (and, for each name under "Subcommands:", PROGRAM <name> --help);
// SEE-ALSO is a comma-separated list of other pages of section 1 (may be empty).
//
// The help texts follow one layout: a "Usage:" line; paragraphs of text at column 0; and blocks
// indented under a header line that ends with ':'. A block whose lines start with '-' is a list
// of options (the header names the group), "Positionals:" and "Subcommands:" are lists too, and
// any other block is kept as it stands (examples, tables). "Examples:", "Environment:",
// "Files:" and "Exit status:" headers start those sections of the page.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- running the program ----

bool runForHelp(std::vector<std::string> args, std::string& output) {
    args.push_back("--help");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !output.empty();
}

// ---- the help text's layout ----

std::size_t indentOf(const std::string& line) {
    return line.find_first_not_of(' ') == std::string::npos ? line.size()
                                                            : line.find_first_not_of(' ');
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

struct Item {
    std::string term;  // empty: a note between the items
    std::vector<std::string> text;
};

enum class Kind { Text, Pre, List };

struct Block {
    Kind kind = Kind::Text;
    std::string header;              // for Text and Pre: a lead-in line; for List: a subsection
    std::vector<std::string> lines;  // Text and Pre
    std::vector<Item> items;         // List
};

struct Help {
    std::vector<std::string> synopsis;
    std::vector<std::string> summary;  // text before the usage line
    std::map<std::string, std::vector<Block>> sections;
    std::vector<std::string> sectionOrder;
    std::vector<std::string> subcommands;
};

void add(Help& help, const std::string& section, Block block) {
    if (!help.sections.count(section)) help.sectionOrder.push_back(section);
    help.sections[section].push_back(std::move(block));
}

// Splits "term   description" at its first run of two or more blanks.
Item itemOf(const std::string& line) {
    const std::string t = trim(line);
    const auto gap = t.find("  ");
    if (gap == std::string::npos) return {t, {}};
    return {t.substr(0, gap), {trim(t.substr(gap))}};
}

std::vector<Item> listOf(const std::vector<std::string>& block, bool optionsOnly) {
    std::vector<Item> items;
    const std::size_t base = indentOf(block.front());
    for (const std::string& line : block) {
        if (indentOf(line) > base && !items.empty()) {
            items.back().text.push_back(trim(line));
        } else if (optionsOnly && trim(line)[0] != '-') {
            items.push_back({"", {trim(line)}});
        } else {
            items.push_back(itemOf(line));
        }
    }
    return items;
}

const std::map<std::string, std::string> kStandardSections = {{"examples", "EXAMPLES"},
                                                              {"environment", "ENVIRONMENT"},
                                                              {"files", "FILES"},
                                                              {"exit status", "EXIT STATUS"}};

// Whether each line at the block's left edge is a term: followed by its description after two
// blanks or on the next, further indented, line.
bool isDefinitionList(const std::vector<std::string>& block) {
    const std::size_t base = indentOf(block.front());
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (indentOf(block[i]) > base || trim(block[i]).find("  ") != std::string::npos) continue;
        if (i + 1 == block.size() || indentOf(block[i + 1]) <= base) return false;
    }
    return true;
}

void headedBlock(Help& help, const std::string& header, const std::vector<std::string>& block) {
    const std::string name = lower(header);
    const bool options = trim(block.front())[0] == '-';
    if (name == "subcommands") {
        for (const Item& item : listOf(block, false))
            help.subcommands.push_back(item.term);
    } else if (name == "options" || name == "positionals") {
        add(help, name == "options" ? "OPTIONS" : "POSITIONALS",
            {Kind::List, "", {}, listOf(block, name == "options")});
    } else if (kStandardSections.count(name)) {
        const std::string section = kStandardSections.at(name);
        if (isDefinitionList(block) && name != "examples") {
            add(help, section, {Kind::List, "", {}, listOf(block, false)});
        } else {
            add(help, section, {Kind::Pre, "", block, {}});
        }
    } else if (options) {
        // "Faults (SEL picks ...):" is the heading "Faults" over a note that explains it.
        std::vector<Item> items = listOf(block, true);
        std::string heading = header;
        const auto open = header.find(" (");
        if (open != std::string::npos && header.back() == ')') {
            heading = header.substr(0, open);
            items.insert(items.begin(),
                         {"", {header.substr(open + 2, header.size() - open - 3) + "."}});
        }
        add(help, "OPTIONS", {Kind::List, heading, {}, items});
    } else {
        add(help, "DESCRIPTION", {Kind::Pre, header + ":", block, {}});
    }
}

void textParagraph(Help& help, std::vector<std::string> lines) {
    // "Exit status: ..." and the like start their own section.
    for (const auto& [name, section] : kStandardSections) {
        const std::string lead = lower(lines.front());
        if (startsWith(lead, name + ":")) {
            lines.front() = trim(lines.front().substr(name.size() + 1));
            if (lines.front().empty()) lines.erase(lines.begin());
            add(help, section, {Kind::Text, "", lines, {}});
            return;
        }
    }
    add(help, "DESCRIPTION", {Kind::Text, "", lines, {}});
}

Help parseHelp(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        lines.push_back(line);
    }
    Help help;
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string& line = lines[i];
        if (line.empty()) {
            ++i;
        } else if (startsWith(line, "Usage:")) {
            help.synopsis.push_back(trim(line.substr(6)));
            for (++i; i < lines.size() && startsWith(trim(lines[i]), "or:"); ++i)
                help.synopsis.push_back(trim(trim(lines[i]).substr(3)));
        } else if (indentOf(line) == 0) {
            // A run of column-0 lines: a header when it ends with ':' over an indented block.
            std::size_t end = i;
            while (end < lines.size() && !lines[end].empty() && indentOf(lines[end]) == 0 &&
                   !startsWith(lines[end], "Usage:"))
                ++end;
            std::vector<std::string> run(lines.begin() + i, lines.begin() + end);
            const bool header = end < lines.size() && !lines[end].empty() &&
                                indentOf(lines[end]) > 0 && run.back().back() == ':';
            if (header) {
                std::size_t blockEnd = end;
                while (blockEnd < lines.size() && !lines[blockEnd].empty() &&
                       indentOf(lines[blockEnd]) > 0)
                    ++blockEnd;
                std::string title;
                for (const std::string& l : run)
                    title += (title.empty() ? "" : " ") + l;
                title.pop_back();
                headedBlock(help, title, {lines.begin() + end, lines.begin() + blockEnd});
                i = blockEnd;
            } else if (help.synopsis.empty()) {
                help.summary.insert(help.summary.end(), run.begin(), run.end());
                i = end;
            } else {
                textParagraph(help, run);
                i = end;
            }
        } else {
            std::size_t end = i;
            while (end < lines.size() && !lines[end].empty() && indentOf(lines[end]) > 0)
                ++end;
            add(help, "DESCRIPTION", {Kind::Pre, "", {lines.begin() + i, lines.begin() + end}, {}});
            i = end;
        }
    }
    return help;
}

// ---- troff ----

// Escapes text for troff: backslashes, a dot or quote that would start a request, and every
// hyphen as a minus sign, so that options and names copied from the page work as typed.
std::string esc(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else if (startsWith(s.substr(i), "\xC2\xB5")) {  // micro sign
            out += "\\(mc";
            ++i;
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

// Text inside a quoted macro argument, where a double quote would end it.
std::string escArgument(const std::string& s) {
    std::string out;
    for (char c : esc(s))
        out += c == '"' ? std::string("\\(dq") : std::string(1, c);
    return out;
}

bool isMetavariable(const std::string& word) {
    bool upper = false;
    for (char c : word) {
        if (std::islower(static_cast<unsigned char>(c))) return false;
        upper |= std::isupper(static_cast<unsigned char>(c)) != 0;
    }
    return upper && word != "REQUIRED";
}

// Options in bold, upper-case placeholders in italics: "-l, --link FILE".
std::string styled(const std::string& term, bool firstItalic = false) {
    std::string out, word;
    bool first = true;
    auto flush = [&] {
        if (word.empty()) return;
        const bool option = word[0] == '-';
        if (option) {
            out += "\\fB" + esc(word) + "\\fR";
        } else if ((first && firstItalic) || isMetavariable(word)) {
            out += "\\fI" + esc(word) + "\\fR";
        } else {
            out += esc(word);
        }
        first = false;
        word.clear();
    };
    for (char c : term) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
            (c == '.' && !word.empty())) {
            word += c;
        } else {
            flush();
            out += c == '\\' ? std::string("\\e") : std::string(1, c);
        }
    }
    flush();
    return out;
}

void renderBlock(std::ostream& out, const Block& block, bool positionals = false) {
    switch (block.kind) {
        case Kind::Text:
            out << ".PP\n";
            for (const std::string& l : block.lines)
                out << esc(l) << "\n";
            break;
        case Kind::Pre: {
            if (!block.header.empty()) out << ".PP\n" << esc(block.header) << "\n";
            std::size_t base = std::string::npos;
            for (const std::string& l : block.lines)
                base = std::min(base, indentOf(l));
            out << ".PP\n.RS 4\n.nf\n";
            for (const std::string& l : block.lines)
                out << esc(l.substr(base)) << "\n";
            out << ".fi\n.RE\n";
            break;
        }
        case Kind::List:
            if (!block.header.empty()) out << ".SS \"" << escArgument(block.header) << "\"\n";
            for (const Item& item : block.items) {
                if (item.term.empty()) {
                    out << (&item == &block.items.front() ? ".PP\n" : ".IP\n");
                } else {
                    out << ".TP\n" << styled(item.term, positionals) << "\n";
                }
                for (const std::string& l : item.text)
                    out << esc(l) << "\n";
            }
            break;
    }
}

std::string synopsisLine(const std::string& line, const std::string& name) {
    const std::string rest = startsWith(line, name) ? line.substr(name.size()) : line;
    return "\\fB" + esc(name) + "\\fR" + styled(rest);
}

const std::vector<std::string> kOrder = {"DESCRIPTION", "COMMANDS", "OPTIONS", "EXIT STATUS",
                                         "ENVIRONMENT", "FILES",    "EXAMPLES"};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 8) {
        std::cerr << "Usage: tolvan_help_to_man OUTPUT NAME VERSION DATE SUMMARY SEE-ALSO "
                     "PROGRAM [ARG...]\n";
        return 2;
    }
    const std::string output = argv[1], name = argv[2], version = argv[3], date = argv[4],
                      summary = argv[5], seeAlso = argv[6];
    const std::vector<std::string> program(argv + 7, argv + argc);

    std::string text;
    if (!runForHelp(program, text)) {
        std::cerr << "tolvan_help_to_man: " << program.front() << " --help failed\n";
        return 1;
    }
    Help help = parseHelp(text);
    if (help.synopsis.empty()) {
        std::cerr << "tolvan_help_to_man: no \"Usage:\" line in " << name << " --help\n";
        return 1;
    }
    // The summary lines before "Usage:" (the layout of the catalogue tool) are description.
    if (!help.summary.empty()) {
        auto& description = help.sections["DESCRIPTION"];
        description.insert(description.begin(), {Kind::Text, "", help.summary, {}});
        if (std::find(help.sectionOrder.begin(), help.sectionOrder.end(), "DESCRIPTION") ==
            help.sectionOrder.end())
            help.sectionOrder.push_back("DESCRIPTION");
    }

    std::ostringstream page;
    std::string title = name;
    std::transform(title.begin(), title.end(), title.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    page << ".TH " << esc(title) << " 1 \"" << date << "\" \"" << esc(name) << " " << version
         << "\" \"User Commands\"\n";
    page << ".SH NAME\n" << esc(name) << " \\- " << esc(summary) << "\n";
    page << ".SH SYNOPSIS\n";
    for (std::size_t i = 0; i < help.synopsis.size(); ++i)
        page << (i ? ".br\n" : "") << synopsisLine(help.synopsis[i], name) << "\n";

    // Each subcommand: its synopsis, what it does, its arguments and options.
    std::ostringstream commands;
    for (const std::string& sub : help.subcommands) {
        std::vector<std::string> args = program;
        args.push_back(sub);
        std::string subText;
        if (!runForHelp(args, subText)) {
            std::cerr << "tolvan_help_to_man: " << name << " " << sub << " --help failed\n";
            return 1;
        }
        const Help subHelp = parseHelp(subText);
        const std::string usage =
            subHelp.synopsis.empty() ? name + " " + sub : subHelp.synopsis.front();
        commands << ".SS \"" << synopsisLine(usage, name) << "\"\n";  // names, no quotes
        for (const std::string& l : subHelp.summary)
            commands << esc(l) << "\n";
        for (const char* section : {"POSITIONALS", "OPTIONS"}) {
            if (!subHelp.sections.count(section)) continue;
            for (Block block : subHelp.sections.at(section)) {
                std::erase_if(block.items, [](const Item& item) {
                    return startsWith(item.term, "-h,--help") ||
                           startsWith(item.term, "-h, --help");
                });
                renderBlock(commands, block, std::string(section) == "POSITIONALS");
            }
        }
    }

    std::vector<std::string> order = kOrder;
    for (const std::string& s : help.sectionOrder)
        if (std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
    for (const std::string& section : order) {
        if (section == "COMMANDS") {
            if (!commands.str().empty()) page << ".SH COMMANDS\n" << commands.str();
            continue;
        }
        if (!help.sections.count(section)) continue;
        page << ".SH " << (section == "POSITIONALS" ? "ARGUMENTS" : section) << "\n";
        bool first = true;
        for (const Block& block : help.sections.at(section)) {
            std::ostringstream b;
            renderBlock(b, block, section == "POSITIONALS");
            std::string s = b.str();
            // Right after a section heading a paragraph break is implied.
            if (first && startsWith(s, ".PP\n")) s.erase(0, 4);
            page << s;
            first = false;
        }
    }
    if (!seeAlso.empty()) {
        page << ".SH \"SEE ALSO\"\n";
        std::istringstream list(seeAlso);
        std::string sep;
        for (std::string other; std::getline(list, other, ',');) {
            page << sep << "\\fB" << esc(other) << "\\fR(1)";
            sep = ",\n";
        }
        page << "\n";
    }

    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << page.str();
    file.close();
    if (!file) {
        std::cerr << "tolvan_help_to_man: cannot write " << output << "\n";
        return 1;
    }
    return 0;
}
