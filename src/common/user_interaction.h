#pragma once
// What core commands ask of the person at the keyboard. The editor answers with
// message boxes and file dialogs, qmtool with the terminal, tests with fakes.
#include <optional>
#include <string>

namespace qm {

enum class Answer { Yes, No, Cancel };

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  virtual Answer AskYesNoCancel(const std::string& question) = 0;
  virtual bool AskYesNo(const std::string& question) = 0;
  virtual void ShowError(const std::string& message) = 0;
};

// A file dialog: the filter in "Description (*.ext)|*.ext" form, the extension
// added to a name typed without one, and the file the dialog starts on (empty:
// none; a save dialog remembers the last file it wrote).
struct FileDialogRequest {
  std::string filter;
  std::string default_extension;
  std::string initial_file = {};
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen path, or nothing when the dialog was cancelled.
  virtual std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) = 0;
};

}  // namespace qm
