#pragma once
// The editor's answers to what core commands ask: message boxes for questions and
// errors, file dialogs for paths.
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "common/user_interaction.h"

namespace qm {

// The title every message box of the program carries.
inline constexpr const char* kMessageTitle = "Quillmarch";

class MessageBoxDialogs : public UserDialogs {
 public:
  explicit MessageBoxDialogs(QWidget* parent) : parent_(parent) {}
  Answer AskYesNoCancel(const std::string& question) override;
  bool AskYesNo(const std::string& question) override;
  void ShowError(const std::string& message) override;

 private:
  QWidget* parent_;
};

// One file dialog of the program (maps, maplet sets, pictures, scripts): it starts
// in its own directory and then in the directory last chosen in it. A directory
// that does not exist is left to the platform, which starts somewhere sensible.
class FileDialogChooser : public FileChooser {
 public:
  FileDialogChooser(QWidget* parent, QString start_directory)
      : parent_(parent), directory_(std::move(start_directory)) {}
  std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;

  const QString& Directory() const { return directory_; }
  void SetDirectory(const QString& directory) { directory_ = directory; }

 private:
  std::optional<std::string> Run(const FileDialogRequest& request, bool save);

  QWidget* parent_;
  QString directory_;
};

// The button row of a dialog with its accepting button `ok` (the default, named
// "OkButton") and `cancel` ("CancelButton"), wired to accept and reject.
QDialogButtonBox* OkCancelButtons(QDialog* dialog, QPushButton* ok, QPushButton* cancel);

// "Maps (*.map)|*.map|All (*.*)|*.*" in the form Qt's dialogs take:
// "Maps (*.map);;All (*.*)". A description without a pattern in brackets gets
// the pattern of its pair, so no choice of the filter is lost.
QString QtFileFilter(const std::string& filter);

// Paths between std::string (UTF-8, as the core keeps them) and QString.
inline QString ToQString(const std::string& text) {
  return QString::fromStdString(text);
}
inline std::string ToStdString(const QString& text) {
  return text.toStdString();
}

}  // namespace qm
