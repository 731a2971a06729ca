#pragma once
// Choosing, adding, inserting, deleting and reordering levels, level properties and
// layer names. The Level menu, the level combo box and the script routines share
// these.
#include <array>
#include <string>

#include "common/user_interaction.h"
#include "document/map_document.h"
#include "document/map_view_host.h"

namespace qm {

inline constexpr const char* kDeleteLevelQuestion = "Remove Current Level.  Are You Sure?";

// Refills the level combo box with every title and selects `selected`.
void RefillLevelList(const MapDocument& document, MapViewHost& view, int selected);

void SelectLevel(MapDocument& document, MapViewHost& view, int index);
void PreviousLevel(MapDocument& document, MapViewHost& view);
void NextLevel(MapDocument& document, MapViewHost& view);
void AddLevel(MapDocument& document, MapViewHost& view);
void InsertLevel(MapDocument& document, MapViewHost& view);
// Deletes the current level; asks first when `ask` is given. Afterwards the last
// level is current. False when nothing was deleted.
bool DeleteLevel(MapDocument& document, MapViewHost& view, UserDialogs* ask);
void MoveLevelUp(MapDocument& document, MapViewHost& view);
void MoveLevelDown(MapDocument& document, MapViewHost& view);

// What the level properties dialog shows and edits. Title in Windows-1252.
struct LevelProperties {
  std::string title;
  std::array<bool, kLayerCount> layer_visible{};
  bool show_hidden = false;
};
LevelProperties ReadLevelProperties(const TMap& level);
// Applies the confirmed dialog to the current level and sets Modified.
void ApplyLevelProperties(MapDocument& document, MapViewHost& view, const LevelProperties& values);

// Applies the confirmed map properties dialog: each name cut to 32 characters.
// Sets Modified when a name changed; names confirmed as they were leave it.
void ApplyLayerNames(MapDocument& document, const std::array<std::string, kLayerCount>& names);

}  // namespace qm
