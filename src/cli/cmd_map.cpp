// qmtool info and qmtool resave.
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/errors.h"
#include "common/text_encoding.h"
#include "document/document_commands.h"
#include "document/map_file.h"

namespace qm::cli {
namespace {

int UsedSlots(const TMap& level) {
  int used = 0;
  for (int x = 1; x <= MapSize; ++x) {
    for (int y = 1; y <= MapSize; ++y) {
      for (int layer = 0; layer < kLayerCount; ++layer) used += level.TileIndex(x, y, layer) != 0;
    }
  }
  return used;
}

std::string VisibleLayers(const TMap& level) {
  std::string out;
  for (int layer = 0; layer < kLayerCount; ++layer) {
    if (!level.LayerVisible(layer)) continue;
    if (!out.empty()) out += ",";
    out += std::to_string(layer + 1);
  }
  return out.empty() ? "none" : out;
}

}  // namespace

int RunInfo(const std::vector<std::string>& raw) {
  Arguments args(raw, {}, {"json"});
  args.ExpectPositional(1, "info [--json] MAP");
  // The header a map is read over is that of a new map, as in the editor after
  // start-up, so a short file shows the new map's values where it has none.
  const LoadedMap map = LoadMapFile(args.Positional()[0], NewMapHeader(32));
  const MapHeader& header = map.header;

  if (args.Flag("json")) {
    nlohmann::ordered_json out;
    out["levelCount"] = map.levels.size();
    out["cellSize"] = header.CellSize();
    out["lastLevelId"] = header.LastLevelID();
    auto names = nlohmann::ordered_json::array();
    for (int layer = 0; layer < kLayerCount; ++layer) names.push_back(Cp1252ToUtf8(header.LayerName(layer)));
    out["layerNames"] = names;
    auto levels = nlohmann::ordered_json::array();
    for (const auto& level : map.levels) {
      nlohmann::ordered_json entry;
      entry["title"] = Cp1252ToUtf8(level->Title());
      entry["levelId"] = level->LevelID();
      entry["backgroundTile"] = level->BackgroundTile();
      auto visible = nlohmann::ordered_json::array();
      for (int layer = 0; layer < kLayerCount; ++layer) visible.push_back(level->LayerVisible(layer));
      entry["layerVisible"] = visible;
      entry["showHidden"] = level->ShowHidden() != 0;
      entry["usedSlots"] = UsedSlots(*level);
      levels.push_back(entry);
    }
    out["levels"] = levels;
    std::cout << out.dump(2) << "\n";
    return 0;
  }

  std::cout << "levels: " << map.levels.size() << "\n"
            << "cell size: " << int{header.CellSize()} << "\n"
            << "last level ID: " << header.LastLevelID() << "\n"
            << "layer names:";
  for (int layer = 0; layer < kLayerCount; ++layer) {
    std::cout << (layer ? ", " : " ") << '"' << Cp1252ToUtf8(header.LayerName(layer)) << '"';
  }
  std::cout << "\n";
  for (std::size_t i = 0; i < map.levels.size(); ++i) {
    const TMap& level = *map.levels[i];
    std::cout << i << ": \"" << Cp1252ToUtf8(level.Title()) << "\" id " << level.LevelID()
              << ", background " << level.BackgroundTile() << ", visible layers "
              << VisibleLayers(level) << ", show hidden " << (level.ShowHidden() ? "yes" : "no")
              << ", " << UsedSlots(level) << " used slots\n";
  }
  return 0;
}

int RunResave(const std::vector<std::string>& raw) {
  Arguments args(raw, {}, {});
  args.ExpectPositional(2, "resave IN OUT");
  MapDocument document;
  TerminalDialogs dialogs;
  HeadlessView view(32);
  DocumentCommands commands(document, {dialogs, dialogs, view});
  // As in the editor after start-up: a short file is read over a new map's header.
  commands.NewMap();
  if (!commands.OpenMap(args.Positional()[0])) return 1;
  if (!commands.SaveMap(args.Positional()[1])) return 1;
  return 0;
}

}  // namespace qm::cli
