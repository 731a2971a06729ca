#include "document/document_commands.h"

#include "common/errors.h"
#include "common/file_io.h"
#include "document/map_file.h"

namespace qm {

FileDialogRequest MapFileDialog() { return {"Quillmarch Map Files (*.map)|*.map", "map"}; }

std::string CaptionFor(const std::string& file_name) {
  return std::string(kCaptionWithFile) + (file_name.empty() ? "" : FileNameOf(file_name));
}

bool DocumentCommands::SettleUnsavedChanges() {
  if (!doc_.Modified()) return true;
  switch (host_.dialogs.AskYesNoCancel(kSaveChangesQuestion)) {
    case Answer::Yes:
      return SaveMap(doc_.DocumentFileName());
    case Answer::No:
      return true;
    case Answer::Cancel:
      return false;
  }
  return false;
}

void DocumentCommands::RefillLevels() {
  std::vector<std::string> titles;
  titles.reserve(doc_.LevelList().size());
  for (const auto& level : doc_.LevelList()) titles.push_back(level->Title());
  host_.view.RefillLevelList(titles, 0);
}

bool DocumentCommands::NewMap() {
  if (!SettleUnsavedChanges()) return false;
  std::vector<std::unique_ptr<TMap>> levels;
  auto first = std::make_unique<TMap>("Level 1");
  first->SetShowHidden(1);
  first->SetLevelID(1);
  levels.push_back(std::move(first));
  doc_.ReplaceLevels(std::move(levels));
  doc_.SetDocumentFileName("");
  doc_.SetModified(false);
  doc_.Header() = NewMapHeader(static_cast<std::uint8_t>(host_.view.ViewCellSize()));
  RefillLevels();
  doc_.SetCurrentLevel(0);
  return true;
}

void DocumentCommands::NewCommand() {
  if (!NewMap()) return;
  host_.view.SetCaption(kCaption);
  host_.view.RepaintMap();
}

bool DocumentCommands::OpenMap(const std::string& name) {
  if (!SettleUnsavedChanges()) return false;
  std::string path = name;
  if (path.empty()) {
    auto chosen = host_.files.ChooseFileToOpen(MapFileDialog());
    if (!chosen) return false;
    path = *chosen;
  }
  LoadedMap loaded;
  try {
    loaded = LoadMapFile(path, doc_.Header());
  } catch (const UserError& error) {
    host_.dialogs.ShowError(error.what());
    return false;
  }
  doc_.Header() = loaded.header;
  doc_.ReplaceLevels(std::move(loaded.levels));
  doc_.SetDocumentFileName(path);
  doc_.SetModified(false);
  host_.view.SetViewCellSize(NearestCellSize(doc_.Header().CellSize()));
  RefillLevels();
  doc_.SetCurrentLevel(0);
  host_.view.SetCaption(CaptionFor(path));
  host_.view.RepaintMap();
  return true;
}

bool DocumentCommands::SaveMap(const std::string& name) {
  std::string path = name;
  if (path.empty()) {
    auto chosen = host_.files.ChooseFileToSave(MapFileDialog());
    // A cancelled dialog saves under the current name, if there is one.
    path = chosen ? *chosen : doc_.DocumentFileName();
  }
  if (path.empty()) return false;
  try {
    SaveMapFile(doc_, path, host_.view.ViewCellSize());
  } catch (const UserError& error) {
    host_.dialogs.ShowError(error.what());
    return false;
  }
  doc_.SetDocumentFileName(path);
  doc_.SetModified(false);
  host_.view.SetCaption(CaptionFor(path));
  return true;
}

}  // namespace qm
