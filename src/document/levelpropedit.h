#pragma once
// The "Level Properties" dialog of the Level menu: the current level's title, which
// of its eight layers are drawn, and whether tiles marked as hidden show. It edits
// a copy and touches the level only when the user confirms.
#include <QDialog>
#include <QString>
#include <array>

#include "document/level_operations.h"
#include "document/map_document.h"
#include "document/map_view_host.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qm {

inline constexpr const char* kLevelPropertiesCaption = "Level Properties";
inline constexpr const char* kLayerCheckListHint =
    " Check / Uncheck Levels To Toggle Their Display On/Off.";

class TLevelProperties : public QDialog {
  Q_OBJECT

 public:
  explicit TLevelProperties(QWidget* parent = nullptr);

  // Fills the controls from `values`; what Values() returns until the user edits.
  void Load(const LevelProperties& values);
  // The controls as they stand, the title cut to the level's 64 characters. A title
  // the user left alone comes back as the exact bytes Load was given.
  LevelProperties Values() const;

  // Level, Properties: shows the current level's properties modally and applies them
  // on "Ok" (which sets Modified and refills the level list). False on Cancel.
  bool Execute(MapDocument& document, MapViewHost& view);

  QLineEdit* Title() const { return title_; }
  QListWidget* LayerCheckList() const { return layers_; }
  QCheckBox* ShowHidden() const { return show_hidden_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QLineEdit* title_;
  QListWidget* layers_;
  QCheckBox* show_hidden_;
  QPushButton* ok_;
  QPushButton* cancel_;
  LevelProperties loaded_;
  QString loaded_title_;
};

}  // namespace qm
