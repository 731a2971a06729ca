#pragma once
// What the document commands and level operations need of the main window.
#include <string>
#include <vector>

namespace qm {

class MapViewHost {
 public:
  virtual ~MapViewHost() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  // Refill the level combo box with these titles and select one entry.
  virtual void RefillLevelList(const std::vector<std::string>& titles, int selected) = 0;
  virtual void RepaintMap() = 0;
  // The map view's cell width in pixels (the zoom).
  virtual int ViewCellSize() const = 0;
  virtual void SetViewCellSize(int size) = 0;
};

}  // namespace qm
