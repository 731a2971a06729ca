#pragma once
// The main window `Twinviewform`: tool bars, the effect bar, the tile palette, the
// map view and the status bar, and the menus that tie every command to the core
// operation behind it. It owns the tool state; the document, tileset and maplet
// set belong to the session it is given.
#include <QComboBox>
#include <QMainWindow>
#include <QProgressBar>
#include <QSlider>
#include <QSplitter>
#include <QTabWidget>
#include <functional>
#include <memory>

#include "app/editor_session.h"
#include "app/qt_dialogs.h"
#include "document/document_commands.h"
#include "document/map_view_host.h"
#include "editing/edit_outcome.h"
#include "editing/editing_actions.h"
#include "editing/tool_state.h"
#include "maplets/maplet_set_commands.h"
#include "output/export_commands.h"

class QAction;
class QActionGroup;
class QFrame;

namespace qm {

class EffectBar;
class HelpWindow;
class MapView;
class TGeoEditForm;
class TLevelProperties;
class TMapSetProperties;
class SymbolGrid;

// What the window asks the user through. Tests hand in fakes; by default the
// window makes message boxes and file dialogs of its own.
struct MainWindowServices {
  UserDialogs* dialogs = nullptr;
  FileChooser* map_files = nullptr;
  FileChooser* maplet_files = nullptr;
  // Runs the "Select Tileset" dialog over the tileset folder: the chosen path,
  // an empty path for Ok without a choice, nothing for Cancel.
  std::function<std::optional<QString>(const QString& folder)> choose_tileset;
  // The save-picture dialog of the export commands.
  SavePictureDialog* picture_files = nullptr;
  // Shows the What's New window modally (first activation, Help, Whats New).
  std::function<void()> show_whats_new;
};

class Twinviewform : public QMainWindow,
                     public MapViewHost,
                     public TilesetSwitch,
                     public MapletSetDisplay {
  Q_OBJECT

 public:
  explicit Twinviewform(EditorSession& session, MainWindowServices services = {},
                        QWidget* parent = nullptr);
  ~Twinviewform() override;

  // The first-activation steps; later calls do nothing. The window's own first
  // activation runs them.
  void FormActivate();
  bool FirstActivationPending() const { return first_activation_; }

  // The splitter between palette and map snaps the palette panel's width; returns
  // the width it gave the panel.
  int Splitter1CanResize(int proposed_width);

  // MapViewHost
  void SetCaption(const std::string& caption) override;
  void RefillLevelList(const std::vector<std::string>& titles, int selected) override;
  void RepaintMap() override;
  int ViewCellSize() const override;
  void SetViewCellSize(int size) override;

  // TilesetSwitch
  std::string LoadedTilesetName() const override;
  void LoadTilesetNamed(const std::string& name) override;

  // MapletSetDisplay
  void EnableGenerateRandomMap(bool enabled) override;
  void SelectEditorMaplet(int position, int section, std::optional<int> layer) override;
  void RepaintMapletEditor() override;

  // The parts the commands and tests reach.
  MapView* DrawGrid1() const { return map_view_; }
  SymbolGrid* PaletteGrid() const { return symbol_grid_; }
  QFrame* SymbolPanel() const { return symbol_panel_; }
  EffectBar* Effects() const { return effect_bar_; }
  QComboBox* LayerChoice() const { return layer_; }
  QComboBox* SelLevel() const { return sel_level_; }
  QSlider* Angle() const { return angle_; }
  QProgressBar* ProgressBar() const { return progress_bar_; }
  ToolState& Tools() { return tools_; }
  EditorSession& Session() { return session_; }
  // An action by its name ("FileSave1", "ZoomIn", "Cut", ...), nullptr if none.
  QAction* Action(const QString& name) const;
  TGeoEditForm* MapletEditor() const { return geo_edit_; }
  TLevelProperties* LevelPropertiesDialog() const { return level_properties_; }
  TMapSetProperties* MapPropertiesDialog() const { return map_properties_; }
  HelpWindow* Help() const { return help_; }

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QAction* MakeAction(const QString& name, const QString& caption, const QString& hint,
                      const QKeySequence& shortcut, std::function<void()> run);
  void BuildActions();
  void BuildToolBars();
  void BuildMenus();
  void BuildCentralArea();

  // Runs a command, showing any failure it throws instead of letting it escape
  // into the event loop.
  void Guarded(const std::function<void()>& command);
  void ApplyOutcome(const EditOutcome& outcome);
  void SyncToolButtons();
  void TilesetLoaded();
  void LoadTilesetFile(const std::string& name);

  void DrawGrid1MouseUp(Qt::MouseButton button);
  void AngleChanged(int position);
  void TileChosen(int tile);
  void EditExecute(EditCommand command);
  void GenerateRandomMapExecute();
  void InsertRandomMapletExecute();
  void TilesetCustomExecute();
  void SelLevelChange(int index);
  void Properties1Click();
  void Properties2Click();
  void Geoset1Click();

  EditorSession& session_;
  MessageBoxDialogs message_boxes_;
  FileDialogChooser own_map_files_;
  FileDialogChooser own_maplet_files_;
  QtSavePictureDialog own_picture_files_;
  MainWindowServices services_;
  UserDialogs& dialogs_;
  DocumentCommands documents_;
  MapletSetCommands maplet_commands_;
  ToolState tools_;
  bool first_activation_ = true;
  std::unique_ptr<ExportCommands> exports_;

  QHash<QString, QAction*> actions_;
  QActionGroup* tool_group_ = nullptr;
  MapView* map_view_ = nullptr;
  SymbolGrid* symbol_grid_ = nullptr;
  QFrame* symbol_panel_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QTabWidget* pages_ = nullptr;
  EffectBar* effect_bar_ = nullptr;
  QComboBox* layer_ = nullptr;
  QComboBox* sel_level_ = nullptr;
  QSlider* angle_ = nullptr;
  QProgressBar* progress_bar_ = nullptr;
  TGeoEditForm* geo_edit_ = nullptr;
  TLevelProperties* level_properties_ = nullptr;
  TMapSetProperties* map_properties_ = nullptr;
  HelpWindow* help_ = nullptr;
};

}  // namespace qm
