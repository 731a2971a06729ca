#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

#include "app/about.h"
#include "app/help_window.h"
#include "app/record_text.h"
#include "app/splash.h"
#include "app/tips.h"
#include "app/tool_icons.h"
#include "app/update_check.h"
#include "common/file_io.h"
#include "document/level_operations.h"
#include "document/levelpropedit.h"
#include "document/mapsetedit.h"
#include "editing/editing_tools.h"
#include "editing/effect_bar.h"
#include "editing/undo_clipboard.h"
#include "maplets/geoedit.h"
#include "maplets/random_level.h"
#include "render/map_view.h"
#include "render/view_zoom.h"
#include "tiles/palette_layout.h"
#include "tiles/palettes.h"
#include "tiles/tile_palette.h"

namespace qm {

namespace {

QString ToQ(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ProgramSubdirectory(const EditorSession& session, const char* name) {
  return QDir(ToQString(session.program_directory)).filePath(name);
}

std::optional<QString> RunTilesetDialog(QWidget* parent, const QString& folder) {
  TPaletteForm dialog(parent);
  dialog.SetDirectory(folder);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.SelectedPath();
}

}  // namespace

Twinviewform::Twinviewform(EditorSession& session, MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      message_boxes_(this),
      own_map_files_(this, ProgramSubdirectory(session, "Files")),
      own_maplet_files_(this, ProgramSubdirectory(session, "Maplets")),
      own_picture_files_(this, ToQString(session.program_directory)),
      services_(std::move(services)),
      dialogs_(services_.dialogs ? *services_.dialogs : message_boxes_),
      documents_(session.document,
                 DocumentHost{dialogs_, services_.map_files ? *services_.map_files : own_map_files_,
                              *this}),
      maplet_commands_(
          session.maplets,
          MapletSetHost{dialogs_,
                        services_.maplet_files ? *services_.maplet_files : own_maplet_files_, *this,
                        *this}) {
  setObjectName("winviewform");
  if (!services_.show_whats_new) {
    services_.show_whats_new = [this] {
      TSplashForm::ShowModal(this, ToQString(session_.program_directory));
    };
  }
  if (!services_.choose_tileset) {
    services_.choose_tileset = [this](const QString& folder) {
      return RunTilesetDialog(this, folder);
    };
  }
  resize(784, 544);
  BuildActions();
  BuildCentralArea();
  // The other windows, made once and hidden until a command shows them.
  geo_edit_ = new TGeoEditForm(session_.maplets, session_.tileset, maplet_commands_, this);
  level_properties_ = new TLevelProperties(this);
  map_properties_ = new TMapSetProperties(this);
  help_ = new HelpWindow(ToQString(session_.program_directory), this);
  exports_ = std::make_unique<ExportCommands>(
      this, session_.document, session_.tileset, *this, [this] { return map_view_->Selection(); },
      progress_bar_, services_.picture_files ? *services_.picture_files : own_picture_files_,
      dialogs_);
  BuildToolBars();
  BuildMenus();
  auto* status = new QStatusBar(this);
  status->setObjectName("StatusBar");
  setStatusBar(status);
  connect(map_view_, &MapView::RenderFailed, this,
          [status](const QString& message) { status->showMessage(message, 10000); });
  RefillLevelList({session_.document.Current().Title()}, 0);
  map_view_->SetCellSize(32);
  EnableGenerateRandomMap(maplet_commands_.GenerateRandomMapEnabled());
}

Twinviewform::~Twinviewform() = default;

QAction* Twinviewform::Action(const QString& name) const {
  return actions_.value(name, nullptr);
}

QAction* Twinviewform::MakeAction(const QString& name, const QString& caption, const QString& hint,
                                  const QKeySequence& shortcut, std::function<void()> run) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  action->setStatusTip(hint);
  action->setToolTip(hint.trimmed());
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  if (run) connect(action, &QAction::triggered, this, [this, run] { Guarded(run); });
  actions_.insert(name, action);
  return action;
}

void Twinviewform::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& failure) {
    dialogs_.ShowError(failure.what());
  }
}

void Twinviewform::BuildActions() {
  // File
  MakeAction("FileNew1", "New", " Create A New Map.", {}, [this] {
    documents_.NewCommand();
  })->setIcon(ToolIcon(ToolIconKind::New));
  MakeAction("FileOpen1", "Open...", " Open An Existing Map.", {}, [this] {
    documents_.OpenCommand();
  })->setIcon(ToolIcon(ToolIconKind::Open));
  MakeAction("FileSave1", "Save", " Save The Current Map.", QKeySequence("Ctrl+S"), [this] {
    documents_.SaveCommand();
  })->setIcon(ToolIcon(ToolIconKind::Save));
  MakeAction("FileSaveAs1", "Save As...", " Save The Current Map Under A New Name.", {},
             [this] { documents_.SaveAsCommand(); });
  MakeAction("GenerateRandomMap1", "Generate Random Map",
             " Generate A Random Map Level Using The Currently Loaded Maplet Set.",
             QKeySequence("Ctrl+R"), [this] { GenerateRandomMapExecute(); });
  MakeAction("Geoset1", "Maplets...", " Create/Edit Maplets.", {}, [this] { Geoset1Click(); });
  MakeAction("ExportDisk", kExportDiskCaption, kExportDiskHint, {},
             [this] { exports_->ExportDiskExecute(); });
  MakeAction("ExportDiskTiled", kExportDiskTiledCaption, kExportDiskTiledHint, {},
             [this] { exports_->ExportDiskTiledExecute(); });
  MakeAction("ExportClipboard", kExportClipboardCaption, kExportClipboardHint, {},
             [this] { exports_->ExportClipboardExecute(); });
  MakeAction("Properties2", "Properties...", " Edit The Names Of The Map's Layers.", {},
             [this] { Properties2Click(); });
  MakeAction("FileExit1", "E&xit", " Exit Quillmarch.", {}, [this] { close(); });

  // Edit, and Set Background of the Level menu
  const ToolIconKind edit_icons[] = {ToolIconKind::Cut, ToolIconKind::Copy, ToolIconKind::Paste,
                                     ToolIconKind::Undo, ToolIconKind::None};
  for (const EditAction& entry : EditActions()) {
    const EditCommand command = entry.command;
    QAction* action =
        MakeAction(ToQ(entry.name), ToQ(entry.caption), ToQ(entry.hint),
                   QKeySequence(ToQ(entry.shortcut)), [this, command] { EditExecute(command); });
    const ToolIconKind icon = edit_icons[static_cast<int>(command)];
    if (icon != ToolIconKind::None) action->setIcon(ToolIcon(icon));
  }
  MakeAction("InsertRandomMaplet", "Insert Random Maplet",
             " Insert A Random Maplet At The Current Map Location.", QKeySequence("Ctrl+M"),
             [this] { InsertRandomMapletExecute(); });

  // Level
  auto& doc = session_.document;
  MakeAction("PreviousLevel1", "&Up One Level", " Show The Level Above.", QKeySequence("Ctrl+U"),
             [this, &doc] { PreviousLevel(doc, *this); });
  MakeAction("NextLevel1", "&Down One Level", " Show The Level Below.", QKeySequence("Ctrl+D"),
             [this, &doc] { NextLevel(doc, *this); });
  MakeAction("Add1", "&Add", " Add A New Level At The End Of The Map.", QKeySequence("Ctrl+A"),
             [this, &doc] { AddLevel(doc, *this); });
  MakeAction("Insert1", "Insert", " Insert A New Level Before The Current Level.", {},
             [this, &doc] { InsertLevel(doc, *this); });
  MakeAction("Remove1", "&Delete", " Delete The Current Level.", QKeySequence(Qt::Key_Delete),
             [this, &doc] { DeleteLevel(doc, *this, &dialogs_); });
  MakeAction("MoveUp", "Move Up", " Move The Current Level Up One Place.",
             QKeySequence("Ctrl+Alt+U"), [this, &doc] { MoveLevelUp(doc, *this); });
  MakeAction("MoveDown", "Move Down", " Move The Current Level Down One Place.",
             QKeySequence("Ctrl+Alt+D"), [this, &doc] { MoveLevelDown(doc, *this); });
  MakeAction("Properties1", "P&roperties", " Edit The Title And Visible Layers Of The Level.", {},
             [this] { Properties1Click(); });

  // Help
  MakeAction("HelpContents", "Help Index", " Show The Help.", QKeySequence(Qt::Key_F1),
             [this] { help_->ShowContents(); });
  MakeAction("WhatsNew1", "Whats New", " Show What Is New In This Version.", {},
             [this] { services_.show_whats_new(); });
  MakeAction("Update", "Check For Updates", " Check For Updates", {},
             [this] { UpdateCheckDialog::ShowModal(this); });
  // Tips has no menu item; its shortcut works on the window itself.
  addAction(MakeAction("ips1", "&Tips", " Show Tips And Tricks.", QKeySequence("Ctrl+T"),
                       [this] { Tips::ShowModal(this); }));
  MakeAction("HelpAbout1", "&About...", " About Quillmarch.", {},
             [this] { TcfAboutBox::ShowModal(this); });

  // Tiles
  MakeAction("TilesetZoomIn", "Zoom In", " Show Larger Tiles In The Palette.",
             QKeySequence("Ctrl+Alt+I"),
             [this] { symbol_grid_->SetCellSize(PaletteZoomIn(symbol_grid_->CellSize())); });
  MakeAction("TilesetZoomOut", "Zoom Out", " Show Smaller Tiles In The Palette.",
             QKeySequence("Ctrl+Alt+O"),
             [this] { symbol_grid_->SetCellSize(PaletteZoomOut(symbol_grid_->CellSize())); });
  MakeAction("TilesetDefault", "Default", " Load The Default Tileset. (default.qts)", {},
             [this] { LoadTilesetFile(""); });
  MakeAction("TilesetCustom", "Load Custom...", " Load Another Tileset.", {},
             [this] { TilesetCustomExecute(); });

  // View
  MakeAction("ZoomIn", "Zoom In", " View Map At Increased Detail.", QKeySequence("Ctrl+I"),
             [this, &doc] { ZoomView(doc, *this, ZoomDirection::In); })
      ->setIcon(ToolIcon(ToolIconKind::ZoomIn));
  MakeAction("ZoomOut", "Zoom Out", " View Map At Decreased Detail.", QKeySequence("Ctrl+O"),
             [this, &doc] { ZoomView(doc, *this, ZoomDirection::Out); })
      ->setIcon(ToolIcon(ToolIconKind::ZoomOut));
  MakeAction("RefreshView", "Refresh", " Redraw The Map View. ", {},
             [this] { map_view_->InvalidateAll(); });

  // The four tools: a group of which exactly one is down.
  tool_group_ = new QActionGroup(this);
  tool_group_->setExclusive(true);
  const ToolIconKind tool_icons[] = {ToolIconKind::Select, ToolIconKind::Draw, ToolIconKind::Erase,
                                     ToolIconKind::Smart};
  int index = 0;
  for (const ToolButtonText& entry : ToolButtonTexts()) {
    const Tool tool = entry.tool;
    QAction* action = MakeAction(ToQ(entry.name), ToQ(entry.caption), ToQ(entry.hint), {},
                                 [this, tool] { tools_.SetActiveTool(tool); });
    action->setCheckable(true);
    action->setIcon(ToolIcon(tool_icons[index++]));
    tool_group_->addAction(action);
  }
  SyncToolButtons();
}

void Twinviewform::BuildToolBars() {
  auto* bar = new QToolBar("Tools", this);
  bar->setObjectName("ToolBar5");
  bar->setMovable(false);
  bar->setIconSize(QSize(20, 20));
  addToolBar(Qt::TopToolBarArea, bar);
  auto add = [&](const char* name) {
    QAction* action = Action(name);
    bar->addAction(action);
    if (QWidget* button = bar->widgetForAction(action)) button->setObjectName(name);
  };
  add("FileNew1");
  add("FileOpen1");
  add("FileSave1");
  bar->addSeparator();
  for (const ToolButtonText& entry : ToolButtonTexts()) add(ToQ(entry.name).toUtf8().constData());
  bar->addSeparator();

  layer_ = new QComboBox(bar);
  layer_->setObjectName("Layer");
  layer_->setStatusTip(ToQ(kLayerChoiceHint));
  layer_->setToolTip(ToQ(kLayerChoiceHint).trimmed());
  layer_->setMaxVisibleItems(kLayerChoiceDropDownCount);
  for (int layer = 0; layer < kLayerCount; ++layer)
    layer_->addItem(RecordTextToQString(session_.document.Header().LayerName(layer)));
  layer_->addItem(ToQ(kAutoLayeringItem));
  layer_->setCurrentIndex(kAutoLayering);
  layer_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(layer_, &QComboBox::currentIndexChanged, this,
          [this](int index) { tools_.SetLayerChoice(index); });
  bar->addWidget(layer_);
  bar->addSeparator();
  add("Cut");
  add("Copy");
  add("Paste");
  add("Undo");
  bar->addSeparator();
  add("ZoomIn");
  add("ZoomOut");
  // The tool bar buttons carry their own, longer hints.
  bar->widgetForAction(Action("ZoomIn"))
      ->setStatusTip("  Zoom In To View A Smaller Map Area At Increased Detail.");
  bar->widgetForAction(Action("ZoomOut"))
      ->setStatusTip(" Zoom Out To View A Larger Map Area At Reduced Detail.");
  bar->addSeparator();

  sel_level_ = new QComboBox(bar);
  sel_level_->setObjectName("SelLevel");
  sel_level_->setMaxVisibleItems(20);
  sel_level_->setMinimumContentsLength(16);
  sel_level_->setStatusTip(" Select The Level To View And Edit.");
  connect(sel_level_, &QComboBox::activated, this, &Twinviewform::SelLevelChange);
  bar->addWidget(sel_level_);

  // The effect bar under it: the rotation track bar, then the effect buttons.
  addToolBarBreak(Qt::TopToolBarArea);
  auto* effects = new QToolBar("Effects", this);
  effects->setObjectName("EffectPalette");
  effects->setMovable(false);
  addToolBar(Qt::TopToolBarArea, effects);
  auto* rotation = new QWidget(effects);
  auto* rotation_layout = new QVBoxLayout(rotation);
  rotation_layout->setContentsMargins(4, 0, 8, 0);
  rotation_layout->setSpacing(0);
  auto* label = new QLabel(ToQ(kAngleLabel), rotation);
  rotation_layout->addWidget(label);
  angle_ = new QSlider(Qt::Horizontal, rotation);
  angle_->setObjectName("Angle");
  angle_->setRange(0, kMaxAngle);
  angle_->setPageStep(kAnglePageSize);
  angle_->setSingleStep(1);
  angle_->setTickInterval(kAngleTickStep);
  angle_->setTickPosition(QSlider::TicksBelow);
  angle_->setFixedWidth(160);
  angle_->setStatusTip(ToQ(kAngleHint));
  angle_->setToolTip(ToQ(kAngleHint).trimmed());
  connect(angle_, &QSlider::valueChanged, this, &Twinviewform::AngleChanged);
  rotation_layout->addWidget(angle_);
  rotation->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  effects->addWidget(rotation);
  effects->addSeparator();
  effect_bar_ = new EffectBar(effects);
  connect(effect_bar_, &EffectBar::EffectChosen, this,
          [this](int code) { tools_.SetCurrentEffect(code); });
  effects->addWidget(effect_bar_);
}

void Twinviewform::BuildMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu("&File");
  file->setObjectName("File1");
  file->addAction(Action("FileNew1"));
  file->addAction(Action("FileOpen1"));
  file->addAction(Action("FileSave1"));
  file->addAction(Action("FileSaveAs1"));
  file->addSeparator();
  file->addAction(Action("Geoset1"));
  file->addAction(Action("GenerateRandomMap1"));
  file->addSeparator();
  QMenu* exports = file->addMenu(kExportMenuCaption);
  exports->setObjectName("Export1");
  exports->addAction(Action("ExportDisk"));
  exports->addAction(Action("ExportDiskTiled"));
  file->addAction(Action("Properties2"));
  file->addSeparator();
  file->addAction(Action("FileExit1"));

  QMenu* edit = bar->addMenu("Edit");
  edit->setObjectName("Edit1");
  for (const EditAction& entry : EditActions()) {
    if (entry.menu == "Edit") edit->addAction(Action(ToQ(entry.name)));
  }
  edit->addSeparator();
  edit->addAction(Action("ExportClipboard"));
  edit->addAction(Action("InsertRandomMaplet"));

  QMenu* level = bar->addMenu("Level");
  level->setObjectName("Level1");
  for (const char* name : {"PreviousLevel1", "NextLevel1"}) level->addAction(Action(name));
  level->addSeparator();
  for (const char* name : {"Add1", "Insert1", "Remove1"}) level->addAction(Action(name));
  level->addSeparator();
  for (const char* name : {"MoveUp", "MoveDown"}) level->addAction(Action(name));
  level->addSeparator();
  for (const EditAction& entry : EditActions()) {
    if (entry.menu == "Level") level->addAction(Action(ToQ(entry.name)));
  }
  level->addAction(Action("Properties1"));

  QMenu* tiles = bar->addMenu("Tiles");
  tiles->setObjectName("Tiles1");
  for (const char* name : {"TilesetZoomIn", "TilesetZoomOut"}) tiles->addAction(Action(name));
  tiles->addSeparator();
  for (const char* name : {"TilesetDefault", "TilesetCustom"}) tiles->addAction(Action(name));

  QMenu* view = bar->addMenu("View");
  view->setObjectName("View1");
  for (const char* name : {"ZoomIn", "ZoomOut", "RefreshView"}) view->addAction(Action(name));

  QMenu* help = bar->addMenu("&Help");
  help->setObjectName("Help1");
  for (const char* name : {"HelpContents", "WhatsNew1", "Update"}) help->addAction(Action(name));
  help->addSeparator();
  help->addAction(Action("HelpAbout1"));
}

void Twinviewform::BuildCentralArea() {
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName("Splitter1");
  splitter_->setChildrenCollapsible(false);

  symbol_panel_ = new QFrame(splitter_);
  symbol_panel_->setObjectName("SymbolPanel");
  symbol_panel_->setFrameShape(QFrame::StyledPanel);
  auto* panel_layout = new QVBoxLayout(symbol_panel_);
  panel_layout->setContentsMargins(4, 4, 4, 4);
  symbol_grid_ = new SymbolGrid(session_.tileset, symbol_panel_);
  panel_layout->addWidget(symbol_grid_);
  connect(symbol_grid_, &SymbolGrid::TileChosen, this, &Twinviewform::TileChosen);

  pages_ = new QTabWidget(splitter_);
  pages_->setObjectName("PageControl1");
  auto* page = new QWidget(pages_);
  auto* page_layout = new QVBoxLayout(page);
  page_layout->setContentsMargins(0, 0, 0, 0);
  page_layout->setSpacing(0);
  map_view_ = new MapView(session_.document, session_.tileset, page);
  page_layout->addWidget(map_view_);
  progress_bar_ = new QProgressBar(page);
  progress_bar_->setObjectName("ProgressBar");
  progress_bar_->hide();
  page_layout->addWidget(progress_bar_);
  pages_->addTab(page, "Map");
  connect(map_view_, &MapView::CellsReleased, this, &Twinviewform::DrawGrid1MouseUp);

  splitter_->addWidget(symbol_panel_);
  splitter_->addWidget(pages_);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kPalettePanelWidthAtStart, 784 - kPalettePanelWidthAtStart});
  connect(splitter_, &QSplitter::splitterMoved, this,
          [this](int position, int) { Splitter1CanResize(position); });
  setCentralWidget(splitter_);
}

int Twinviewform::Splitter1CanResize(int proposed_width) {
  const int width = SnapPalettePanelWidth(proposed_width, symbol_grid_->CellSize());
  const QList<int> sizes = splitter_->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  splitter_->setSizes({width, std::max(0, total - width)});
  return width;
}

void Twinviewform::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // FormShow
  if (!first_activation_) return;
  setWindowTitle(kCaption);
  // Without a window manager a window is never activated; the first-activation
  // steps must run all the same, so they also follow the first show.
  QMetaObject::invokeMethod(this, &Twinviewform::FormActivate, Qt::QueuedConnection);
}

void Twinviewform::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && first_activation_) {
    // Run after the activation has been handled, so the dialogs the steps may
    // show do not nest inside the window system's event.
    QMetaObject::invokeMethod(this, &Twinviewform::FormActivate, Qt::QueuedConnection);
  }
}

void Twinviewform::FormActivate() {
  if (!first_activation_) return;
  first_activation_ = false;
  const std::string& directory = session_.program_directory;
  Guarded(
      [&] { LoadTileset(session_.tileset, "", directory, dialogs_, [this] { TilesetLoaded(); }); });
  Guarded([&] { documents_.NewMap(); });
  Guarded([&] { maplet_commands_.LoadDefaultMapletSet(directory); });
  own_map_files_.SetDirectory(ProgramSubdirectory(session_, "Files"));
  own_maplet_files_.SetDirectory(ProgramSubdirectory(session_, "Maplets"));
  map_view_->InvalidateAll();
  showMaximized();
  services_.show_whats_new();
}

void Twinviewform::closeEvent(QCloseEvent* event) {
  // Unsaved work is not thrown away without asking: Yes saves first, No closes,
  // Cancel (or a save that did not happen) keeps the program running.
  bool may_close = true;
  Guarded([&] { may_close = documents_.SettleUnsavedChanges(); });
  if (may_close)
    event->accept();
  else
    event->ignore();
}

void Twinviewform::SetCaption(const std::string& caption) {
  setWindowTitle(ToQString(caption));
}

void Twinviewform::RefillLevelList(const std::vector<std::string>& titles, int selected) {
  const QSignalBlocker quiet(sel_level_);
  sel_level_->clear();
  for (const std::string& title : titles) sel_level_->addItem(RecordTextToQString(title));
  sel_level_->setCurrentIndex(selected);
}

void Twinviewform::RepaintMap() {
  map_view_->InvalidateAll();
}

int Twinviewform::ViewCellSize() const {
  return map_view_->CellSize();
}

void Twinviewform::SetViewCellSize(int size) {
  map_view_->SetCellSize(size);
}

std::string Twinviewform::LoadedTilesetName() const {
  return FileNameOf(session_.tileset.TilesetFileName());
}

void Twinviewform::LoadTilesetNamed(const std::string& name) {
  LoadTilesetFile(name);
}

void Twinviewform::LoadTilesetFile(const std::string& name) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Guarded([&] {
    LoadTileset(session_.tileset, name, session_.program_directory, dialogs_,
                [this] { TilesetLoaded(); });
  });
  QApplication::restoreOverrideCursor();
}

void Twinviewform::TilesetLoaded() {
  symbol_grid_->TilesetChanged();
  map_view_->TilesetChanged();
  if (geo_edit_) geo_edit_->TilesetChanged();
}

void Twinviewform::EnableGenerateRandomMap(bool enabled) {
  Action("GenerateRandomMap1")->setEnabled(enabled);
}

void Twinviewform::SelectEditorMaplet(int position, int section, std::optional<int> layer) {
  if (geo_edit_) geo_edit_->SelectEditorMaplet(position, section, layer);
}

void Twinviewform::RepaintMapletEditor() {
  if (geo_edit_) geo_edit_->RepaintMapletEditor();
}

void Twinviewform::Properties1Click() {
  level_properties_->Execute(session_.document, *this);
}

void Twinviewform::Properties2Click() {
  if (map_properties_->Execute(session_.document))
    RebuildLayerChoice(*layer_, session_.document.Header());
}

void Twinviewform::Geoset1Click() {
  geo_edit_->exec();
}

void Twinviewform::SyncToolButtons() {
  for (const ToolButtonText& entry : ToolButtonTexts()) {
    if (entry.tool == tools_.ActiveTool()) Action(ToQ(entry.name))->setChecked(true);
  }
}

void Twinviewform::ApplyOutcome(const EditOutcome& outcome) {
  if (outcome.whole_view)
    map_view_->InvalidateAll();
  else
    map_view_->InvalidateCells(outcome.cells);
}

void Twinviewform::DrawGrid1MouseUp(Qt::MouseButton button) {
  const MouseButton which = button == Qt::RightButton    ? MouseButton::Right
                            : button == Qt::MiddleButton ? MouseButton::Middle
                                                         : MouseButton::Left;
  Guarded([&] {
    ApplyOutcome(qm::DrawGrid1MouseUp(session_.document, session_.tileset, tools_,
                                      map_view_->Selection(), which));
  });
}

void Twinviewform::AngleChanged(int position) {
  Guarded([&] {
    ApplyOutcome(AngleOldChange(session_.document, tools_, map_view_->Selection(), position));
  });
}

void Twinviewform::TileChosen(int tile) {
  if (!ChooseTile(tools_, session_.tileset, tile)) return;
  effect_bar_->SetCurrentEffect(tools_.CurrentEffect());
  SyncToolButtons();
}

void Twinviewform::EditExecute(EditCommand command) {
  MapDocument& doc = session_.document;
  const GridSelection selection = map_view_->Selection();
  switch (command) {
    case EditCommand::Cut:
      ApplyOutcome(Cut(doc, tools_, selection));
      break;
    case EditCommand::Copy:
      ApplyOutcome(Copy(doc, tools_, selection));
      break;
    case EditCommand::Paste:
      ApplyOutcome(Paste(doc, tools_, selection));
      break;
    case EditCommand::Undo:
      ApplyOutcome(Undo(doc));
      break;
    case EditCommand::SetBackground:
      ApplyOutcome(SetBackground(doc, tools_));
      break;
  }
}

void Twinviewform::GenerateRandomMapExecute() {
  GenerateRandomLevel(session_.document, session_.maplets, session_.random);
  map_view_->InvalidateAll();
}

void Twinviewform::InsertRandomMapletExecute() {
  const GridSelection selection = map_view_->Selection();
  InsertMaplet(session_.document, session_.maplets, session_.random, selection.left, selection.top);
  map_view_->InvalidateAll();
}

void Twinviewform::TilesetCustomExecute() {
  const auto chosen = services_.choose_tileset(ProgramSubdirectory(session_, "Tilesets"));
  if (!chosen) return;
  LoadTilesetFile(ToStdString(*chosen));
}

void Twinviewform::SelLevelChange(int index) {
  Guarded([&] { SelectLevel(session_.document, *this, index); });
}

}  // namespace qm
