#pragma once
// The .map file: the 1180-byte header, then each level's cell block and tail.
#include <memory>
#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "document/map_document.h"

namespace qm {

struct LoadedMap {
  MapHeader header;
  std::vector<std::unique_ptr<TMap>> levels;  // never empty
};

// Levels a file may claim beyond its end that are still created as empty levels.
// Past that a damaged count would only fill memory with levels that hold nothing.
inline constexpr int kMaxMissingLevels = 100;

// Reads a map. Nothing is validated: a short header is read over `previous`
// (the header of the map open before), levels the file ends inside keep the
// defaults of a new untitled level, and a count of 0 gives one empty level.
LoadedMap ReadMapFile(ByteSource& source, const MapHeader& previous);

// Writes header and levels as given; the caller has refreshed StoredLevelCount
// and CellSize.
void WriteMapFile(const MapHeader& header, const std::vector<std::unique_ptr<TMap>>& levels,
                  ByteSink& sink);

// Reads the file at path. Throws UserError "Cannot open file ..." or a read error.
LoadedMap LoadMapFile(const std::string& path, const MapHeader& previous);

// Saves the document to path with StoredLevelCount and CellSize refreshed, through a
// temporary file renamed over the target. On success the document's header holds
// the refreshed fields; on failure (UserError) nothing in the document changes and
// the previous file is intact.
void SaveMapFile(MapDocument& document, const std::string& path, int view_cell_size);

// The view's zoom steps; a stored cell size that is none of them opens at the
// nearest step so that zooming in and out keeps working.
int NearestCellSize(int cell_size);

}  // namespace qm
