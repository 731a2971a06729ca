#include "maplets/maplet_set_commands.h"

#include <filesystem>

#include "common/errors.h"
#include "common/file_io.h"
#include "common/text_encoding.h"

namespace qm {

FileDialogRequest MapletSetFileDialog() {
  return {"Quillmarch Pro Maplet Sets (*.set)|*.set", "set"};
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

void MapletSetCommands::SetGenerateEnabled(bool enabled) {
  generate_enabled_ = enabled;
  host_.display.EnableGenerateRandomMap(enabled);
}

void MapletSetCommands::ClearMapletSet() {
  set_.Zero();
  // The record stores Windows-1252 text; the file system speaks UTF-8.
  set_.SetSetTilesetName(Utf8ToCp1252(host_.tilesets.LoadedTilesetName()));
  set_.SetEditorPosition(1);
  set_.SetEditorSection(1);
  set_.SetEditorLayer(kAutoLayering);
  SetGenerateEnabled(false);
  host_.display.RepaintMapletEditor();
}

bool MapletSetCommands::LoadMapletSet(const std::string& path) {
  // The name is taken before anything can fail, so a later Save with a cancelled
  // dialog goes to the file the user last asked for.
  file_name_ = path;
  try {
    ReadMapletSetFile(path, set_);
  } catch (const UserError& error) {
    host_.dialogs.ShowError(error.what());
    return false;
  }
  const std::string wanted = Cp1252ToUtf8(set_.SetTilesetName());
  if (AsciiUpper(wanted) != AsciiUpper(host_.tilesets.LoadedTilesetName())) {
    host_.tilesets.LoadTilesetNamed(wanted);
  }
  // The layer list follows EditorLayer the next time the editor is shown.
  host_.display.SelectEditorMaplet(set_.EditorPosition(), set_.EditorSection(), std::nullopt);
  SetGenerateEnabled(true);
  return true;
}

void MapletSetCommands::GeoNew() {
  ClearMapletSet();
  host_.display.SelectEditorMaplet(1, 1, kAutoLayering);
}

void MapletSetCommands::GeoOpen() {
  const auto chosen = host_.files.ChooseFileToOpen(MapletSetFileDialog());
  if (chosen) LoadMapletSet(*chosen);
}

bool MapletSetCommands::GeoSave() {
  FileDialogRequest request = MapletSetFileDialog();
  request.initial_file = file_name_;
  const auto chosen = host_.files.ChooseFileToSave(request);
  // A cancelled dialog still saves to the remembered file, if there is one.
  const std::string path = chosen ? *chosen : file_name_;
  if (path.empty()) return false;
  try {
    SaveMapletSetFile(set_, path);
  } catch (const UserError& error) {
    // The previous file is intact and the set still names the file it came from.
    host_.dialogs.ShowError(error.what());
    return false;
  }
  file_name_ = path;
  SetGenerateEnabled(true);
  return true;
}

void MapletSetCommands::LoadDefaultMapletSet(const std::string& program_directory) {
  ClearMapletSet();
  const std::string path = JoinPath(JoinPath(program_directory, "Maplets"), "default.set");
  std::error_code ignored;
  if (std::filesystem::is_regular_file(path, ignored)) LoadMapletSet(path);
}

}  // namespace qm
