#include "document/map_document.h"

#include <stdexcept>
#include <utility>

namespace qm {

MapDocument::MapDocument() {
  levels_.push_back(std::make_unique<TMap>("Level 1"));
  buffers_[0] = std::make_unique<TMap>("UnDo");
  buffers_[1] = std::make_unique<TMap>("Edit");
  buffers_[2] = std::make_unique<TMap>("Hold");
}

void MapDocument::SetCurrentLevel(int index) {
  if (index < 0 || index >= LevelCount()) throw std::out_of_range("level index out of range");
  current_ = index;
}

void MapDocument::ReplaceLevels(std::vector<std::unique_ptr<TMap>> levels) {
  if (levels.empty()) throw std::invalid_argument("a map needs at least one level");
  levels_ = std::move(levels);
  current_ = 0;
}

void MapDocument::InsertLevel(int index, std::unique_ptr<TMap> level) {
  if (index < 0 || index > LevelCount()) throw std::out_of_range("level index out of range");
  levels_.insert(levels_.begin() + index, std::move(level));
}

bool MapDocument::RemoveLevel(int index) {
  if (LevelCount() <= 1) return false;
  if (index < 0 || index >= LevelCount()) throw std::out_of_range("level index out of range");
  levels_.erase(levels_.begin() + index);
  if (current_ >= LevelCount()) current_ = LevelCount() - 1;
  return true;
}

void MapDocument::SwapLevels(int a, int b) {
  std::swap(levels_.at(static_cast<std::size_t>(a)), levels_.at(static_cast<std::size_t>(b)));
}

}  // namespace qm
