#pragma once
// The "Select Tileset" dialog of Tiles, Load Custom...: the tileset files of one
// folder to choose from.
#include <QDialog>
#include <QListWidget>
#include <QString>

namespace qm {

class TPaletteForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPaletteForm(QWidget* parent = nullptr);

  // Points the file list at `directory` and reads it again: every "*.qts" file.
  void SetDirectory(const QString& directory);
  // The full path of the selected file; empty when none is selected.
  QString SelectedPath() const;
  QListWidget* FileListBox() const { return files_; }

 private:
  QListWidget* files_;
  QString directory_;
};

}  // namespace qm
