#include "document/mapsetedit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/qt_dialogs.h"
#include "app/record_text.h"
#include "document/level_operations.h"

namespace qm {

TMapSetProperties::TMapSetProperties(QWidget* parent)
    : QDialog(parent), ok_(new QPushButton("OK", this)), cancel_(new QPushButton("Cancel", this)) {
  setWindowTitle(kMapPropertiesCaption);
  setObjectName("TMapSetProperties");

  // Layers 1 to 4 down the left column, 5 to 8 down the right, each label just
  // over its box so that it reads as the box's caption.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(10);
  constexpr int kRowsPerColumn = kLayerCount / 2;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString("Layer%1").arg(layer + 1));
    // One character is one Windows-1252 byte (see record_text.h), so this is the
    // record's capacity.
    edit->setMaxLength(static_cast<int>(kLayerNameCapacity));
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 26);
    auto* label = new QLabel(QString("Layer %1 - Name").arg(layer + 1), this);
    label->setBuddy(edit);
    auto* pair = new QVBoxLayout;
    pair->setSpacing(2);
    pair->addWidget(label);
    pair->addWidget(edit);
    grid->addLayout(pair, layer % kRowsPerColumn, layer / kRowsPerColumn);
    edits_[static_cast<std::size_t>(layer)] = edit;
  }

  QDialogButtonBox* buttons = OkCancelButtons(this, ok_, cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(8);
  layout->addWidget(buttons);
}

void TMapSetProperties::Load(const std::array<std::string, kLayerCount>& names) {
  loaded_ = names;
  for (std::size_t i = 0; i < edits_.size(); ++i) {
    loaded_text_[i] = RecordTextToQString(names[i]);
    edits_[i]->setText(loaded_text_[i]);
  }
  edits_[0]->setFocus();
  edits_[0]->selectAll();
}

std::array<std::string, kLayerCount> TMapSetProperties::Names() const {
  std::array<std::string, kLayerCount> names;
  for (std::size_t i = 0; i < edits_.size(); ++i) {
    const QString text = edits_[i]->text();
    names[i] = text == loaded_text_[i] ? loaded_[i] : QStringToRecordText(text, kLayerNameCapacity);
  }
  return names;
}

bool TMapSetProperties::Execute(MapDocument& document) {
  std::array<std::string, kLayerCount> names;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    names[static_cast<std::size_t>(layer)] = document.Header().LayerName(layer);
  }
  Load(names);
  if (exec() != QDialog::Accepted) return false;
  ApplyLayerNames(document, Names());
  return true;
}

QStringList LayerChoiceItems(const MapHeader& header) {
  QStringList items;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    items << RecordTextToQString(header.LayerName(layer));
  }
  items << kAutoLayeringRenamedItem;
  return items;
}

void RebuildLayerChoice(QComboBox& layer, const MapHeader& header) {
  const int selected = layer.currentIndex();
  {
    // The entries come back in the same places; listeners only need to hear about
    // the text, not about a selection that passes through -1 and back.
    const QSignalBlocker quiet(layer);
    layer.clear();
    layer.addItems(LayerChoiceItems(header));
  }
  layer.setCurrentIndex(selected);
}

}  // namespace qm
