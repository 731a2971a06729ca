#pragma once
// The one open map: header, levels, the current level, file name, modified flag and
// the three scratch levels that undo and the map clipboard use. New and Open
// replace its content; the document itself lives as long as the program.
#include <memory>
#include <string>
#include <vector>

#include "document/map_records.h"

namespace qm {

class MapDocument {
 public:
  // The program-start state: one level "Level 1" with the creation defaults, an
  // all-zero header, and the scratch levels "UnDo", "Edit" and "Hold".
  MapDocument();

  MapHeader& Header() { return header_; }
  const MapHeader& Header() const { return header_; }

  // LevelList: index 0 is the uppermost level. Never empty.
  const std::vector<std::unique_ptr<TMap>>& LevelList() const { return levels_; }
  int LevelCount() const { return static_cast<int>(levels_.size()); }
  TMap& Level(int index) { return *levels_.at(static_cast<std::size_t>(index)); }
  const TMap& Level(int index) const { return *levels_.at(static_cast<std::size_t>(index)); }

  int CurrentLevel() const { return current_; }
  // Index into LevelList; out-of-range values are refused (std::out_of_range).
  void SetCurrentLevel(int index);
  TMap& Current() { return Level(current_); }
  const TMap& Current() const { return Level(current_); }

  // Level list changes that keep the invariants: at least one level, and the
  // current index stays valid (it is clamped; callers then set what they mean).
  void ReplaceLevels(std::vector<std::unique_ptr<TMap>> levels);  // must not be empty
  void InsertLevel(int index, std::unique_ptr<TMap> level);
  bool RemoveLevel(int index);  // false when it is the last level
  void SwapLevels(int a, int b);

  const std::string& DocumentFileName() const { return file_name_; }
  void SetDocumentFileName(std::string name) { file_name_ = std::move(name); }
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

  // LevelBuffers: never saved, kept across New and Open.
  TMap& UndoBuffer() { return *buffers_[0]; }
  TMap& EditBuffer() { return *buffers_[1]; }
  TMap& HoldBuffer() { return *buffers_[2]; }
  const TMap& UndoBuffer() const { return *buffers_[0]; }
  const TMap& EditBuffer() const { return *buffers_[1]; }
  const TMap& HoldBuffer() const { return *buffers_[2]; }

 private:
  MapHeader header_;
  std::vector<std::unique_ptr<TMap>> levels_;
  int current_ = 0;
  std::string file_name_;
  bool modified_ = false;
  std::unique_ptr<TMap> buffers_[3];
};

}  // namespace qm
