#include "document/level_operations.h"

#include <vector>

namespace qm {
namespace {

std::unique_ptr<TMap> NextNewLevel(MapDocument& document) {
  // LastLevelID is a 16-bit counter and wraps after 65535.
  const auto id = static_cast<std::uint16_t>(document.Header().LastLevelID() + 1);
  document.Header().SetLastLevelID(id);
  auto level = std::make_unique<TMap>(LevelTitleFor(id));
  level->SetShowHidden(1);
  level->SetLevelID(id);
  return level;
}

}  // namespace

void RefillLevelList(const MapDocument& document, MapViewHost& view, int selected) {
  std::vector<std::string> titles;
  titles.reserve(document.LevelList().size());
  for (const auto& level : document.LevelList()) titles.push_back(level->Title());
  view.RefillLevelList(titles, selected);
}

void SelectLevel(MapDocument& document, MapViewHost& view, int index) {
  if (index < 0 || index >= document.LevelCount()) return;
  document.SetCurrentLevel(index);
  view.RepaintMap();
}

void PreviousLevel(MapDocument& document, MapViewHost& view) {
  if (document.CurrentLevel() == 0) return;
  document.SetCurrentLevel(document.CurrentLevel() - 1);
  RefillLevelList(document, view, document.CurrentLevel());
  view.RepaintMap();
}

void NextLevel(MapDocument& document, MapViewHost& view) {
  if (document.CurrentLevel() >= document.LevelCount() - 1) return;
  document.SetCurrentLevel(document.CurrentLevel() + 1);
  RefillLevelList(document, view, document.CurrentLevel());
  view.RepaintMap();
}

void AddLevel(MapDocument& document, MapViewHost& view) {
  document.InsertLevel(document.LevelCount(), NextNewLevel(document));
  document.SetCurrentLevel(document.LevelCount() - 1);
  RefillLevelList(document, view, document.CurrentLevel());
  view.RepaintMap();
}

void InsertLevel(MapDocument& document, MapViewHost& view) {
  document.InsertLevel(document.CurrentLevel(), NextNewLevel(document));
  RefillLevelList(document, view, document.CurrentLevel());
  view.RepaintMap();
}

bool DeleteLevel(MapDocument& document, MapViewHost& view, UserDialogs* ask) {
  if (document.LevelCount() <= 1) return false;
  if (ask && !ask->AskYesNo(kDeleteLevelQuestion)) return false;
  document.RemoveLevel(document.CurrentLevel());
  document.SetCurrentLevel(document.LevelCount() - 1);
  RefillLevelList(document, view, document.CurrentLevel());
  view.RepaintMap();
  return true;
}

void MoveLevelUp(MapDocument& document, MapViewHost& view) {
  const int current = document.CurrentLevel();
  if (current == 0) return;
  document.SwapLevels(current, current - 1);
  document.SetCurrentLevel(current - 1);
  RefillLevelList(document, view, current - 1);
}

void MoveLevelDown(MapDocument& document, MapViewHost& view) {
  const int current = document.CurrentLevel();
  if (current >= document.LevelCount() - 1) return;
  document.SwapLevels(current, current + 1);
  document.SetCurrentLevel(current + 1);
  RefillLevelList(document, view, current + 1);
}

LevelProperties ReadLevelProperties(const TMap& level) {
  LevelProperties values;
  values.title = level.Title();
  for (int layer = 0; layer < kLayerCount; ++layer) values.layer_visible[layer] = level.LayerVisible(layer);
  values.show_hidden = level.ShowHidden() != 0;
  return values;
}

void ApplyLevelProperties(MapDocument& document, MapViewHost& view, const LevelProperties& values) {
  TMap& level = document.Current();
  level.SetTitle(values.title);
  level.SetShowHidden(values.show_hidden ? 1 : 0);
  for (int layer = 0; layer < kLayerCount; ++layer) level.SetLayerVisible(layer, values.layer_visible[layer]);
  RefillLevelList(document, view, document.CurrentLevel());
  view.RepaintMap();
  document.SetModified(true);
}

void ApplyLayerNames(MapDocument& document, const std::array<std::string, kLayerCount>& names) {
  // The names are saved with the map, so a change to them is unsaved work like any
  // other: without Modified, New, Open and closing would drop it without asking.
  const MapHeader before = document.Header();
  for (int layer = 0; layer < kLayerCount; ++layer) document.Header().SetLayerName(layer, names[layer]);
  for (int layer = 0; layer < kLayerCount; ++layer) {
    if (document.Header().LayerName(layer) != before.LayerName(layer)) {
      document.SetModified(true);
      return;
    }
  }
}

}  // namespace qm
