#include "tiles/palettes.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt_dialogs.h"

namespace qm {

TPaletteForm::TPaletteForm(QWidget* parent) : QDialog(parent), files_(new QListWidget(this)) {
  setObjectName("PaletteForm");
  setWindowTitle("Select Tileset");
  files_->setObjectName("FileListBox");
  QDialogButtonBox* buttons =
      OkCancelButtons(this, new QPushButton("Ok", this), new QPushButton("Cancel", this));
  connect(files_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(files_);
  layout->addWidget(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(300, 320)));
}

void TPaletteForm::SetDirectory(const QString& directory) {
  directory_ = directory;
  files_->clear();
  const QStringList names = QDir(directory).entryList({"*.qts"}, QDir::Files | QDir::Readable,
                                                      QDir::Name | QDir::IgnoreCase);
  files_->addItems(names);
}

QString TPaletteForm::SelectedPath() const {
  const QListWidgetItem* item = files_->currentItem();
  if (!item || !item->isSelected()) return {};
  return QDir(directory_).filePath(item->text());
}

}  // namespace qm
