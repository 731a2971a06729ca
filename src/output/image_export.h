#pragma once
// Pictures of a level or a region of it: every cell a square of the cell size,
// drawn by the cell renderer, written as BMP, JPEG or PNG by the file name's
// extension. The picture is rendered and written one row of cells at a time, so
// memory stays at one band whatever the level and cell size.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/map_records.h"
#include "tiles/tileset.h"

namespace qm {

// First and last column and row, 1-based and inclusive, as RenderCell counts.
struct ExportRegion {
  int first_column = 1;
  int first_row = 1;
  int last_column = MapSize;
  int last_row = MapSize;
  int Columns() const { return last_column - first_column + 1; }
  int Rows() const { return last_row - first_row + 1; }
  bool operator==(const ExportRegion&) const = default;
};

inline constexpr ExportRegion kWholeLevel{1, 1, MapSize, MapSize};
inline constexpr int kMaxExportCellSize = 256;

// The region "Image..." and "Copy As Image" export for the view's selection
// (0-based, inclusive): the selected cells when the selection is at least three
// cells wide or high, otherwise (a clicked cell, a 2 x 2 block) the whole level.
ExportRegion RegionForSelection(int left, int top, int right, int bottom);

enum class PictureFormat { Bmp, Jpeg, Png };

// The extension of the name part of a path, dot included: "" when there is none,
// "." for a name that ends in a dot.
std::string FileExtension(const std::string& path);
// The format of a file name by its extension in any letter case (.BMP, .JPG, .JPEG,
// .PNG); nothing for any other.
std::optional<PictureFormat> PictureFormatFor(const std::string& path);
// Throws UserError naming the supported extensions when PictureFormatFor fails.
PictureFormat RequirePictureFormat(const std::string& path);

// The save dialog's filter: "Bitmaps (*.bmp)|*.bmp|JPEG Image File (*.jpg)|*.jpg|PNG
// Image File (*.png)|*.png", and the extension its 1-based index adds to a name
// typed without one (".jpg" for an index outside 1 to 3).
extern const char* const kPictureFilter;
std::string ExtensionForFilterIndex(int filter_index);
// The name "Image..." writes to: as typed when it has an extension.
std::string ExportFileName(const std::string& chosen, int filter_index);

struct QuarterFile {
  std::string file_name;
  ExportRegion region;
};
// The four files of "Tiled Map Images...", in writing order: base + "A" .. "D" +
// extension for the upper-left, upper-right, lower-left and lower-right quarters.
std::array<QuarterFile, 4> QuarterFiles(const std::string& chosen, int filter_index);

// Called after each finished band of cells: bands done, bands in all.
using ExportProgress = std::function<void(int done, int total)>;

// An exported picture held whole, for the clipboard: 8-bit RGB rows, top-down.
struct ExportPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // 3 * width bytes a row
  const std::uint8_t* Row(int y) const {
    return pixels.data() + 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(y);
  }
};

// Renders the region at `cell_size` pixels a cell and writes it to `file_name` in
// the format of its extension, through a temporary file that replaces the target
// only once complete. Throws UserError for an unsupported extension (before any
// work), a cell size outside 1 to kMaxExportCellSize, a bad region, a file that
// cannot be written, and what RenderCell throws.
void ExportRegionImage(const std::string& file_name, const TMap& level, const Tileset& tileset,
                       ExportRegion region, int cell_size, const ExportProgress& progress = {});

// One quarter of "Tiled Map Images...": the same picture and files as
// ExportRegionImage, with progress for the status bar.
void ExportQuarterImage(const std::string& file_name, const TMap& level, const Tileset& tileset,
                        ExportRegion region, int cell_size, const ExportProgress& progress);

// "Copy As Image": the picture itself, for the editor to put on the clipboard.
ExportPicture RenderRegionPicture(const TMap& level, const Tileset& tileset, ExportRegion region,
                                  int cell_size, const ExportProgress& progress = {});

}  // namespace qm
