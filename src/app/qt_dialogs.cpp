#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace qm {

Answer MessageBoxDialogs::AskYesNoCancel(const std::string& question) {
  const auto choice = QMessageBox::question(
      parent_, kMessageTitle, ToQString(question),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (choice == QMessageBox::Yes) return Answer::Yes;
  if (choice == QMessageBox::No) return Answer::No;
  return Answer::Cancel;
}

bool MessageBoxDialogs::AskYesNo(const std::string& question) {
  return QMessageBox::question(parent_, kMessageTitle, ToQString(question),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxDialogs::ShowError(const std::string& message) {
  QMessageBox::critical(parent_, kMessageTitle, ToQString(message));
}

QDialogButtonBox* OkCancelButtons(QDialog* dialog, QPushButton* ok, QPushButton* cancel) {
  ok->setObjectName("OkButton");
  ok->setDefault(true);
  cancel->setObjectName("CancelButton");
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(ok, QDialogButtonBox::AcceptRole);
  buttons->addButton(cancel, QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = ToQString(filter).split('|');
  QStringList entries;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QString pattern = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
    if (!description.contains('(') && !pattern.isEmpty())
      description += " (" + QString(pattern).replace(';', ' ') + ")";
    if (!description.isEmpty()) entries << description;
  }
  return entries.join(";;");
}

std::optional<std::string> FileDialogChooser::ChooseFileToOpen(const FileDialogRequest& request) {
  return Run(request, false);
}

std::optional<std::string> FileDialogChooser::ChooseFileToSave(const FileDialogRequest& request) {
  return Run(request, true);
}

std::optional<std::string> FileDialogChooser::Run(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilter(QtFileFilter(request.filter));
  dialog.setDefaultSuffix(ToQString(request.default_extension));
  if (!directory_.isEmpty()) dialog.setDirectory(directory_);
  if (!request.initial_file.empty()) {
    const QFileInfo initial(ToQString(request.initial_file));
    if (initial.isAbsolute()) dialog.setDirectory(initial.absolutePath());
    dialog.selectFile(initial.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().constFirst();
  directory_ = QFileInfo(chosen).absolutePath();
  return ToStdString(chosen);
}

}  // namespace qm
