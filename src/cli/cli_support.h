#pragma once
// What every qmtool subcommand shares: its arguments, the program directory, and
// the terminal's answers to the questions core commands ask.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "common/user_interaction.h"
#include "document/map_view_host.h"

namespace qm::cli {

// A failure of a subcommand that is reported as one line on stderr.
struct CliError {
  std::string message;
};

// Arguments after the subcommand name: positional ones in order, options by name.
class Arguments {
 public:
  // Options listed in `valued` take a value ("--level 3" or "--level=3"); others
  // are flags. Unknown options are refused.
  Arguments(std::vector<std::string> args, const std::vector<std::string>& valued,
            const std::vector<std::string>& flags);
  const std::vector<std::string>& Positional() const { return positional_; }
  // Exactly n positional arguments or a CliError naming the usage.
  void ExpectPositional(std::size_t n, const std::string& usage) const;
  bool Flag(const std::string& name) const;
  std::optional<std::string> Value(const std::string& name) const;
  // An integer option within [low, high], or fallback when it is absent.
  long IntValue(const std::string& name, long fallback, long low, long high) const;

 private:
  std::vector<std::string> positional_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> flags_;
};

// The directory of the running executable.
std::string ProgramDirectory();

// Questions on the terminal. Without a terminal on stdin nothing is asked: the
// safe answer is taken (No / Cancel), so batch runs never hang.
class TerminalDialogs : public UserDialogs, public FileChooser {
 public:
  Answer AskYesNoCancel(const std::string& question) override;
  bool AskYesNo(const std::string& question) override;
  void ShowError(const std::string& message) override;
  std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;
  // The last error shown, for the exit status.
  const std::optional<std::string>& LastError() const { return last_error_; }

 private:
  std::optional<std::string> last_error_;
};

// A view without a window: it keeps the cell size and ignores the rest.
class HeadlessView : public MapViewHost {
 public:
  explicit HeadlessView(int cell_size) : cell_size_(cell_size) {}
  void SetCaption(const std::string&) override {}
  void RefillLevelList(const std::vector<std::string>&, int) override {}
  void RepaintMap() override {}
  int ViewCellSize() const override { return cell_size_; }
  void SetViewCellSize(int size) override { cell_size_ = size; }

 private:
  int cell_size_;
};

}  // namespace qm::cli
