#include "render/view_zoom.h"

#include <array>

namespace qm {

namespace {
constexpr std::array<int, 10> kLadder = {8, 16, 32, 48, 64, 80, 96, 112, 128, 192};
}

int ZoomInSize(int cell_size) {
  for (std::size_t i = 0; i + 1 < kLadder.size(); ++i) {
    if (kLadder[i] == cell_size) return kLadder[i + 1];
  }
  return kLadder.back();
}

int ZoomOutSize(int cell_size) {
  for (std::size_t i = 1; i < kLadder.size(); ++i) {
    if (kLadder[i] == cell_size) return kLadder[i - 1];
  }
  return kLadder.front();
}

void ZoomView(MapDocument& document, MapViewHost& view, ZoomDirection direction) {
  const int current = view.ViewCellSize();
  const int size = direction == ZoomDirection::In ? ZoomInSize(current) : ZoomOutSize(current);
  document.Header().SetCellSize(static_cast<std::uint8_t>(size));
  view.SetViewCellSize(size);
  view.RepaintMap();
  document.SetModified(true);
}

}  // namespace qm
