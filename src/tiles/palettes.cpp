#include "tiles/palettes.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

TPaletteForm::TPaletteForm(QWidget* parent) : QDialog(parent), files_(new QListWidget(this)) {
  setObjectName("PaletteForm");
  setWindowTitle("Select Tileset");
  files_->setObjectName("FileListBox");
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
  ok->setObjectName("OkButton");
  ok->setDefault(true);
  buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("CancelButton");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(files_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(files_);
  layout->addWidget(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(300, 320)));
}

void TPaletteForm::SetDirectory(const QString& directory) {
  directory_ = directory;
  files_->clear();
  const QStringList names =
      QDir(directory).entryList({"*.qts"}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
  files_->addItems(names);
}

QString TPaletteForm::SelectedPath() const {
  const QListWidgetItem* item = files_->currentItem();
  if (!item || !item->isSelected()) return {};
  return QDir(directory_).filePath(item->text());
}

}  // namespace qm
