#include "editing/edit_outcome.h"

#include <algorithm>
#include <utility>

#include "document/map_records.h"

namespace qm {

bool ClipToGrid(GridSelection& s) {
  if (s.left > s.right) std::swap(s.left, s.right);
  if (s.top > s.bottom) std::swap(s.top, s.bottom);
  if (s.right < 0 || s.bottom < 0 || s.left >= MapSize || s.top >= MapSize) return false;
  s.left = std::max(s.left, 0);
  s.top = std::max(s.top, 0);
  s.right = std::min(s.right, MapSize - 1);
  s.bottom = std::min(s.bottom, MapSize - 1);
  return true;
}

}  // namespace qm
