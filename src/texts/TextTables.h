#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tolvan {

class PathResolver;

inline constexpr const char* kCaptionsFile = "C:\\Orsolite\\Tolvan Link\\Captions.txt";
inline constexpr const char* kMessagesFile = "C:\\Orsolite\\Tolvan Link\\Mensagens.txt";

// The caption and message tables, loaded once at start-up from the language section of the
// two text files. All texts are held in UTF-8.
struct TextTables {
    std::string Idioma;
    std::vector<std::string> Mensagens;
    std::vector<std::string> CaptionNomes;
    std::vector<std::string> CaptionTextos;
};

// A text file that could not be opened or read. what() is the platform's text for it
// ("File not found"); path() is the file as the program named it.
class TextFileError : public std::runtime_error {
  public:
    TextFileError(const std::string& what, std::string path)
        : std::runtime_error(what), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Loads the captions from `captionsFile`, then the messages from kMessagesFile. Entries already
// stored stay when a file fails; the failure is thrown as TextFileError.
void CarregaTextos(TextTables& tables, const PathResolver& files, const std::string& captionsFile);

}  // namespace tolvan
