#pragma once
// Fixtures for the maplet tests: a set whose every cell tells where it came from,
// and fakes for the tileset switch and the windows that show the set's state.
#include <optional>
#include <string>
#include <vector>

#include "maplets/maplet_set.h"
#include "maplets/maplet_set_commands.h"

namespace qm::testing {

// Layer 0's tile of every cell names its maplet (position * 10 + section); its
// rotation and effect bytes are the cell's column and row in the maplet, and the
// reserved word is 0xBEEF, so a copy shows where each byte landed.
inline MapletSet MarkedSet() {
  MapletSet set;
  for (int p = 1; p <= kMapletPositions; ++p) {
    for (int s = 1; s <= kMapletSections; ++s) {
      for (int x = 0; x < kMapletSide; ++x) {
        for (int y = 0; y < kMapletSide; ++y) {
          set.SetSlot(p, s, x, y, 0,
                      {static_cast<std::uint16_t>(p * 10 + s), static_cast<std::uint8_t>(x),
                       static_cast<std::uint8_t>(y)});
          set.Cell(p, s, x, y)[32] = 0xEF;
          set.Cell(p, s, x, y)[33] = 0xBE;
        }
      }
    }
  }
  return set;
}

class FakeTilesets : public TilesetSwitch {
 public:
  std::string loaded = "default.qts";
  std::vector<std::string> loads;

  std::string LoadedTilesetName() const override { return loaded; }
  void LoadTilesetNamed(const std::string& name) override {
    loads.push_back(name);
    loaded = name.empty() ? "default.qts" : name;
  }
};

class FakeSetDisplay : public MapletSetDisplay {
 public:
  struct Selection {
    int position, section;
    std::optional<int> layer;
    bool operator==(const Selection&) const = default;
  };
  std::optional<bool> generate_enabled;  // nothing until the first call
  std::vector<Selection> selections;
  int editor_repaints = 0;

  void EnableGenerateRandomMap(bool enabled) override { generate_enabled = enabled; }
  void SelectEditorMaplet(int position, int section, std::optional<int> layer) override {
    selections.push_back({position, section, layer});
  }
  void RepaintMapletEditor() override { ++editor_repaints; }
};

}  // namespace qm::testing
