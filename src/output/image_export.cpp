#include "output/image_export.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "common/errors.h"
#include "common/file_io.h"
#include "output/picture_writers.h"
#include "render/cell_renderer.h"

namespace qm {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

void CheckExport(ExportRegion region, int cell_size) {
  if (cell_size < 1 || cell_size > kMaxExportCellSize) {
    throw UserError("The cell size for a picture must be 1 to " +
                    std::to_string(kMaxExportCellSize) + " pixels, not " +
                    std::to_string(cell_size) + ".");
  }
  const bool inside = region.first_column >= 1 && region.first_row >= 1 &&
                      region.last_column <= MapSize && region.last_row <= MapSize &&
                      region.first_column <= region.last_column &&
                      region.first_row <= region.last_row;
  if (!inside) {
    throw UserError("The region to export must lie within columns and rows 1 to " +
                    std::to_string(MapSize) + ".");
  }
}

// Work images kept between cells of one export. Small cells are drawn from
// scaled copies that a level uses again and again (about 24 MiB of them at 32
// pixels a cell), so they keep more; large cells derive work images that a
// level seldom repeats, and two bands of a 192-pixel export already take 16 MiB.
std::size_t ExportCacheBytes(int cell_size) {
  return cell_size <= 64 ? 24u << 20 : 6u << 20;
}

// How many threads render the cells of a band, each a run of its columns.
int RenderThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 4u));
}

// Renders one row of cells of a region at a time. The band is the only buffer
// that grows with the picture: region width x cell size x 3 bytes. The threads
// share one cache, so each work image is derived once.
class BandRenderer {
 public:
  BandRenderer(const TMap& level, const Tileset& tileset, ExportRegion region, int cell_size)
      : level_(level),
        tileset_(tileset),
        region_(region),
        size_(cell_size),
        stride_(3 * static_cast<std::size_t>(region.Columns()) *
                static_cast<std::size_t>(cell_size)),
        parts_(std::min(RenderThreads(), region.Columns())),
        cache_(ExportCacheBytes(cell_size)) {}

  int Width() const { return region_.Columns() * size_; }
  int Height() const { return region_.Rows() * size_; }
  int Bands() const { return region_.Rows(); }
  int CellSize() const { return size_; }

  std::size_t BandBytes() const { return stride_ * static_cast<std::size_t>(size_); }
  std::size_t Stride() const { return stride_; }

  // Band b (0 = the region's first row) into `band` (BandBytes() bytes). Each
  // part draws its own columns, so in the band the parts touch only their own
  // cells' bytes.
  void Render(int b, std::uint8_t* band) {
    const int columns = region_.Columns();
    const int parts = parts_;
    std::vector<std::future<void>> helpers;
    for (int p = 1; p < parts; ++p) {
      helpers.push_back(std::async(std::launch::async, [this, b, band, p, parts, columns] {
        RenderColumns(b, band, columns * p / parts, columns * (p + 1) / parts);
      }));
    }
    std::exception_ptr failure;
    try {
      RenderColumns(b, band, 0, columns / parts);
    } catch (...) {
      failure = std::current_exception();
    }
    for (auto& helper : helpers) {
      try {
        helper.get();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    }
    if (failure) std::rethrow_exception(failure);
  }

 private:
  void RenderColumns(int b, std::uint8_t* band, int from, int to) {
    const int y = region_.first_row + b;
    const std::size_t cell_row = 3 * static_cast<std::size_t>(size_);
    for (int i = from; i < to; ++i) {
      // Straight into the band: a white cell, drawn where it will be written from.
      std::uint8_t* at = band + cell_row * static_cast<std::size_t>(i);
      for (int r = 0; r < size_; ++r)
        std::memset(at + stride_ * static_cast<std::size_t>(r), 255, cell_row);
      RenderCell(level_, tileset_, region_.first_column + i, y, RgbView{at, size_, size_, stride_},
                 &cache_);
    }
  }

  const TMap& level_;
  const Tileset& tileset_;
  ExportRegion region_;
  int size_;
  std::size_t stride_;
  int parts_;
  // Lives for one export only, so it can never outlast the tileset it copied from.
  RenderCache cache_;
};

void WritePicture(const std::string& file_name, PictureFormat format, const TMap& level,
                  const Tileset& tileset, ExportRegion region, int cell_size,
                  const ExportProgress& progress) {
  BandRenderer bands(level, tileset, region, cell_size);
  AtomicFileWriter file(file_name);
  std::unique_ptr<PictureWriter> writer =
      MakePictureWriter(format, file, bands.Width(), bands.Height());
  const int total = bands.Bands();
  const bool bottom_up = writer->BottomUp();
  auto band_of = [&](int done) { return bottom_up ? total - 1 - done : done; };

  // Rendering the next band runs beside encoding this one: two bands in memory,
  // and the export takes about as long as the slower of the two.
  std::vector<std::uint8_t> current(bands.BandBytes());
  std::vector<std::uint8_t> next(bands.BandBytes());
  bands.Render(band_of(0), current.data());
  for (int done = 0; done < total; ++done) {
    std::future<void> ahead;
    if (done + 1 < total) {
      ahead = std::async(std::launch::async,
                         [&bands, &next, b = band_of(done + 1)] { bands.Render(b, next.data()); });
    }
    try {
      for (int r = 0; r < cell_size; ++r) {
        const int row = bottom_up ? cell_size - 1 - r : r;
        writer->WriteRow(current.data() + bands.Stride() * static_cast<std::size_t>(row));
      }
    } catch (...) {
      if (ahead.valid()) ahead.wait();
      throw;
    }
    if (ahead.valid()) ahead.get();
    current.swap(next);
    if (progress) progress(done + 1, total);
  }
  writer->Finish();
  file.Commit();
}

}  // namespace

const char* const kPictureFilter =
    "Bitmaps (*.bmp)|*.bmp|JPEG Image File (*.jpg)|*.jpg|PNG Image File (*.png)|*.png";

ExportRegion RegionForSelection(int left, int top, int right, int bottom) {
  if (right - left >= 2 || bottom - top >= 2) return {left + 1, top + 1, right + 1, bottom + 1};
  return kWholeLevel;
}

std::string FileExtension(const std::string& path) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::optional<PictureFormat> PictureFormatFor(const std::string& path) {
  const std::string ext = Upper(FileExtension(path));
  if (ext == ".BMP") return PictureFormat::Bmp;
  if (ext == ".JPG" || ext == ".JPEG") return PictureFormat::Jpeg;
  if (ext == ".PNG") return PictureFormat::Png;
  return std::nullopt;
}

PictureFormat RequirePictureFormat(const std::string& path) {
  if (auto format = PictureFormatFor(path)) return *format;
  throw UserError("Cannot export the picture to \"" + path +
                  "\": the file name must end in .bmp, .jpg, .jpeg or .png.");
}

std::string ExtensionForFilterIndex(int filter_index) {
  switch (filter_index) {
    case 1:
      return ".bmp";
    case 3:
      return ".png";
    default:
      return ".jpg";
  }
}

std::string ExportFileName(const std::string& chosen, int filter_index) {
  if (!FileExtension(chosen).empty()) return chosen;
  return chosen + ExtensionForFilterIndex(filter_index);
}

std::array<QuarterFile, 4> QuarterFiles(const std::string& chosen, int filter_index) {
  std::string ext = FileExtension(chosen);
  std::string base = chosen;
  if (ext.empty()) {
    ext = ExtensionForFilterIndex(filter_index);
  } else {
    base.resize(chosen.size() - ext.size());
  }
  constexpr int h = MapSize / 2;
  return {{{base + "A" + ext, {1, 1, h, h}},
           {base + "B" + ext, {h + 1, 1, MapSize, h}},
           {base + "C" + ext, {1, h + 1, h, MapSize}},
           {base + "D" + ext, {h + 1, h + 1, MapSize, MapSize}}}};
}

void ExportRegionImage(const std::string& file_name, const TMap& level, const Tileset& tileset,
                       ExportRegion region, int cell_size, const ExportProgress& progress) {
  const PictureFormat format = RequirePictureFormat(file_name);
  CheckExport(region, cell_size);
  WritePicture(file_name, format, level, tileset, region, cell_size, progress);
}

void ExportQuarterImage(const std::string& file_name, const TMap& level, const Tileset& tileset,
                        ExportRegion region, int cell_size, const ExportProgress& progress) {
  ExportRegionImage(file_name, level, tileset, region, cell_size, progress);
}

ExportPicture RenderRegionPicture(const TMap& level, const Tileset& tileset, ExportRegion region,
                                  int cell_size, const ExportProgress& progress) {
  CheckExport(region, cell_size);
  BandRenderer bands(level, tileset, region, cell_size);
  ExportPicture picture;
  picture.width = bands.Width();
  picture.height = bands.Height();
  const std::size_t stride = 3 * static_cast<std::size_t>(picture.width);
  picture.pixels.resize(stride * static_cast<std::size_t>(picture.height));
  for (int b = 0; b < bands.Bands(); ++b) {
    bands.Render(b, picture.pixels.data() + stride * static_cast<std::size_t>(b) * cell_size);
    if (progress) progress(b + 1, bands.Bands());
  }
  return picture;
}

}  // namespace qm
