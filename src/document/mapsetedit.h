#pragma once
// The "Map Properties" dialog of the File menu: the names of the map's eight
// layers, and the layer choice of the tool bar that shows them.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <string>

#include "document/map_document.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace qm {

inline constexpr const char* kMapPropertiesCaption = "Map Properties";
// The last entry of the layer choice once the layer names have been confirmed in
// the map properties dialog (the tool bar starts with kAutoLayeringItem).
inline constexpr const char* kAutoLayeringRenamedItem = "Auto-Layering";

class TMapSetProperties : public QDialog {
  Q_OBJECT

 public:
  explicit TMapSetProperties(QWidget* parent = nullptr);

  // Layer names as the header holds them (Windows-1252).
  void Load(const std::array<std::string, kLayerCount>& names);
  // The edit boxes, each cut to the header's 32 characters; names the user left
  // alone come back as the exact bytes Load was given.
  std::array<std::string, kLayerCount> Names() const;

  // File, Properties...: shows the map's layer names modally and stores them on
  // "OK" (a changed name sets Modified). True on OK: the caller then rebuilds its layer
  // choice (RebuildLayerChoice).
  bool Execute(MapDocument& document);

  // Layer1 .. Layer8.
  QLineEdit* LayerEdit(int layer) const { return edits_.at(static_cast<std::size_t>(layer)); }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  std::array<QLineEdit*, kLayerCount> edits_{};
  std::array<std::string, kLayerCount> loaded_;
  std::array<QString, kLayerCount> loaded_text_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// The entries of the tool bar's layer choice after the dialog: the eight layer
// names of `header`, then "Auto-Layering".
QStringList LayerChoiceItems(const MapHeader& header);

// Refills `layer` with LayerChoiceItems and selects the entry it had selected.
void RebuildLayerChoice(QComboBox& layer, const MapHeader& header);

}  // namespace qm
