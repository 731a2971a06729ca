#include "cli/cli_support.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <vector>

#include "common/file_io.h"

namespace qm::cli {

Arguments::Arguments(std::vector<std::string> args, const std::vector<std::string>& valued,
                     const std::vector<std::string>& flags) {
  auto is = [](const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 3 || arg.rfind("--", 0) != 0) {
      positional_.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> inline_value;
    if (const auto eq = name.find('='); eq != std::string::npos) {
      inline_value = name.substr(eq + 1);
      name.resize(eq);
    }
    if (is(valued, name)) {
      if (!inline_value) {
        if (i + 1 >= args.size()) throw CliError{"option --" + name + " needs a value"};
        inline_value = args[++i];
      }
      values_.emplace_back(name, *inline_value);
    } else if (is(flags, name) && !inline_value) {
      flags_.push_back(name);
    } else {
      throw CliError{"unknown option --" + name};
    }
  }
}

void Arguments::ExpectPositional(std::size_t n, const std::string& usage) const {
  if (positional_.size() != n) throw CliError{"usage: qmtool " + usage};
}

bool Arguments::Flag(const std::string& name) const {
  return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
    if (it->first == name) return it->second;
  }
  return std::nullopt;
}

long Arguments::IntValue(const std::string& name, long fallback, long low, long high) const {
  const auto text = Value(name);
  if (!text) return fallback;
  long value = 0;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end != text->data() + text->size() || value < low || value > high) {
    throw CliError{"--" + name + " must be a number from " + std::to_string(low) + " to " +
                   std::to_string(high)};
  }
  return value;
}

std::string ProgramDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return ".";
  return DirectoryOf(std::string(buffer.data(), static_cast<std::size_t>(n)));
}

namespace {

std::optional<std::string> AskLine(const std::string& prompt) {
  if (!::isatty(STDIN_FILENO)) return std::nullopt;
  std::cerr << prompt << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  return line;
}

}  // namespace

Answer TerminalDialogs::AskYesNoCancel(const std::string& question) {
  const auto line = AskLine(question + " [y/n/c] ");
  if (!line || line->empty()) return Answer::Cancel;
  if ((*line)[0] == 'y' || (*line)[0] == 'Y') return Answer::Yes;
  if ((*line)[0] == 'n' || (*line)[0] == 'N') return Answer::No;
  return Answer::Cancel;
}

bool TerminalDialogs::AskYesNo(const std::string& question) {
  const auto line = AskLine(question + " [y/n] ");
  return line && !line->empty() && ((*line)[0] == 'y' || (*line)[0] == 'Y');
}

void TerminalDialogs::ShowError(const std::string& message) {
  last_error_ = message;
  std::cerr << "qmtool: " << message << "\n";
}

std::optional<std::string> TerminalDialogs::ChooseFileToOpen(const FileDialogRequest&) {
  const auto line = AskLine("File to open: ");
  if (!line || line->empty()) return std::nullopt;
  return line;
}

std::optional<std::string> TerminalDialogs::ChooseFileToSave(const FileDialogRequest& request) {
  auto line = AskLine("File to save: ");
  if (!line || line->empty()) return std::nullopt;
  if (FileNameOf(*line).find('.') == std::string::npos) *line += "." + request.default_extension;
  return line;
}

}  // namespace qm::cli
