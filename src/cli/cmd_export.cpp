// qmtool export: a level, or a region of it, as a BMP, JPEG or PNG picture, or as
// the four quarter pictures of "Tiled Map Images...".
#include <unistd.h>

#include <charconv>
#include <iostream>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/errors.h"
#include "common/file_io.h"
#include "document/map_file.h"
#include "output/image_export.h"
#include "tiles/tileset.h"

namespace qm::cli {
namespace {

constexpr const char* kUsage =
    "export MAP OUT [--level N] [--cell-size S] [--region C0,R0,C1,R1] [--tileset NAME] "
    "[--quarters]";

// Pictures this big take long enough that a silent terminal looks hung.
constexpr long long kProgressPixels = 16ll << 20;

ExportRegion ParseRegion(const std::string& text) {
  int values[4] = {};
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    const auto [next, ec] = std::from_chars(at, end, values[i]);
    const bool last = i == 3;
    if (ec != std::errc() || (last ? next != end : (next == end || *next != ','))) {
      throw CliError{"--region must be four numbers C0,R0,C1,R1"};
    }
    at = last ? next : next + 1;
  }
  const ExportRegion region{values[0], values[1], values[2], values[3]};
  const bool inside = region.first_column >= 1 && region.first_row >= 1 &&
                      region.last_column <= MapSize && region.last_row <= MapSize &&
                      region.first_column <= region.last_column &&
                      region.first_row <= region.last_row;
  if (!inside) {
    throw CliError{"--region must give columns and rows from 1 to " + std::to_string(MapSize) +
                   " with C0 <= C1 and R0 <= R1"};
  }
  return region;
}

// One line on stderr that counts up in tenths; redrawn in place on a terminal.
class ProgressLine {
 public:
  ProgressLine(std::string label, bool show) : label_(std::move(label)), show_(show) {
    tty_ = ::isatty(STDERR_FILENO) != 0;
  }
  ExportProgress Callback() {
    if (!show_) return {};
    return [this](int done, int total) {
      const int tenth = done * 10 / total;
      if (tenth == last_) return;
      last_ = tenth;
      std::cerr << (tty_ ? "\r" : "") << label_ << ": " << tenth * 10 << "%"
                << (tty_ && done < total ? "" : "\n") << std::flush;
    };
  }

 private:
  std::string label_;
  bool show_;
  bool tty_ = false;
  int last_ = 0;  // tenths shown; 0% is not worth a line
};

}  // namespace

int RunExport(const std::vector<std::string>& raw) {
  Arguments args(raw, {"level", "cell-size", "region", "tileset"}, {"quarters"});
  args.ExpectPositional(2, kUsage);
  const std::string& map_path = args.Positional()[0];
  const std::string& out = args.Positional()[1];
  const bool quarters = args.Flag("quarters");
  if (quarters && args.Value("region")) {
    throw CliError{"--quarters always writes the whole level; leave out --region"};
  }
  // Refuse a bad name before the map and tileset are read.
  RequirePictureFormat(out);

  const LoadedMap map = LoadMapFile(map_path, NewMapHeader(32));
  const int level_count = static_cast<int>(map.levels.size());
  const int level = static_cast<int>(args.IntValue("level", 0, 0, level_count - 1));
  const int cell_size = static_cast<int>(
      args.IntValue("cell-size", NearestCellSize(map.header.CellSize()), 1, kMaxExportCellSize));
  const ExportRegion region =
      args.Value("region") ? ParseRegion(*args.Value("region")) : kWholeLevel;

  const std::string tileset_name = args.Value("tileset").value_or("default.qts");
  const std::string program_directory = ProgramDirectory();
  Tileset tileset;
  TerminalDialogs dialogs;
  if (!LoadTileset(tileset, tileset_name, program_directory, dialogs)) {
    if (dialogs.LastError()) return 1;  // already on stderr
    throw CliError{"tileset \"" + FileNameOf(tileset_name) + "\" not found in " +
                   JoinPath(program_directory, "Tilesets")};
  }

  const TMap& source = *map.levels[static_cast<std::size_t>(level)];
  if (quarters) {
    for (const QuarterFile& q : QuarterFiles(out, 0)) {
      const long long pixels = 1ll * q.region.Columns() * q.region.Rows() * cell_size * cell_size;
      ProgressLine progress(q.file_name, pixels >= kProgressPixels);
      ExportQuarterImage(q.file_name, source, tileset, q.region, cell_size, progress.Callback());
      std::cout << "wrote " << q.file_name << " (" << q.region.Columns() * cell_size << " x "
                << q.region.Rows() * cell_size << ")\n";
    }
    return 0;
  }
  const long long pixels = 1ll * region.Columns() * region.Rows() * cell_size * cell_size;
  ProgressLine progress(out, pixels >= kProgressPixels);
  ExportRegionImage(out, source, tileset, region, cell_size, progress.Callback());
  std::cout << "wrote " << out << " (" << region.Columns() * cell_size << " x "
            << region.Rows() * cell_size << ")\n";
  return 0;
}

}  // namespace qm::cli
