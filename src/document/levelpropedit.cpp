#include "document/levelpropedit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt_dialogs.h"
#include "app/record_text.h"

namespace qm {

TLevelProperties::TLevelProperties(QWidget* parent)
    : QDialog(parent),
      title_(new QLineEdit(this)),
      layers_(new QListWidget(this)),
      show_hidden_(new QCheckBox("Show Tiles Marked As Hidden.", this)),
      ok_(new QPushButton("Ok", this)),
      cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle(kLevelPropertiesCaption);
  setObjectName("TLevelProperties");

  title_->setObjectName("Title");
  // Windows-1252 holds every character it can store in one byte, and characters it
  // cannot store become one '?', so a limit on characters is a limit on bytes.
  title_->setMaxLength(static_cast<int>(kTitleCapacity));

  layers_->setObjectName("LayerCheckList");
  layers_->setToolTip(kLayerCheckListHint);
  layers_->setStatusTip(kLayerCheckListHint);
  // The entries name the layers by number whatever the map calls them: the names
  // belong to the map, the visibility to this level.
  for (int layer = 0; layer < kLayerCount; ++layer) {
    auto* item = new QListWidgetItem(QString("Layer %1").arg(layer + 1), layers_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
  }
  // Exactly as tall as the eight entries: no scroll bar, no empty space.
  layers_->setFixedHeight(layers_->sizeHintForRow(0) * kLayerCount + 2 * layers_->frameWidth());
  layers_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  show_hidden_->setObjectName("ShowHidden");

  QDialogButtonBox* buttons = OkCancelButtons(this, ok_, cancel_);

  auto* title_label = new QLabel("Title:", this);
  title_label->setBuddy(title_);
  auto* layers_label = new QLabel("Visible Layers", this);
  layers_label->setBuddy(layers_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title_label);
  layout->addWidget(title_);
  layout->addSpacing(6);
  layout->addWidget(layers_label);
  layout->addWidget(layers_);
  layout->addWidget(show_hidden_);
  layout->addSpacing(6);
  layout->addWidget(buttons);
  setMinimumWidth(320);
}

void TLevelProperties::Load(const LevelProperties& values) {
  loaded_ = values;
  loaded_title_ = RecordTextToQString(values.title);
  title_->setText(loaded_title_);
  title_->selectAll();
  for (int layer = 0; layer < kLayerCount; ++layer) {
    layers_->item(layer)->setCheckState(values.layer_visible[layer] ? Qt::Checked : Qt::Unchecked);
  }
  show_hidden_->setChecked(values.show_hidden);
  title_->setFocus();
}

LevelProperties TLevelProperties::Values() const {
  LevelProperties values;
  // An untouched title keeps its stored bytes, even ones no edit box shows as typed
  // (a title from another program may hold control bytes).
  values.title = title_->text() == loaded_title_
                     ? loaded_.title
                     : QStringToRecordText(title_->text(), kTitleCapacity);
  for (int layer = 0; layer < kLayerCount; ++layer) {
    values.layer_visible[layer] = layers_->item(layer)->checkState() == Qt::Checked;
  }
  values.show_hidden = show_hidden_->isChecked();
  return values;
}

bool TLevelProperties::Execute(MapDocument& document, MapViewHost& view) {
  Load(ReadLevelProperties(document.Current()));
  if (exec() != QDialog::Accepted) return false;
  ApplyLevelProperties(document, view, Values());
  return true;
}

}  // namespace qm
