// qmtool tileset pack, unpack and info: the outside tool that makes tilesets.
//
// An unpacked tileset is a directory with one PNG file per tile (0000.png,
// 0001.png, ...) and tiles.tsv, one tab-separated line per tile:
//   number  DefaultLayer  Hidden  SmartTool  name
// Lines starting with '#' and empty lines are ignored. Images travel byte for byte,
// so unpacking and packing again gives back the same file.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/errors.h"
#include "common/file_io.h"
#include "common/text_encoding.h"
#include "tiles/tileset.h"

namespace qm::cli {
namespace {

constexpr const char* kListName = "tiles.tsv";

std::string TileFileName(int tile) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d.png", tile);
  return name;
}

const char* ColorTypeName(PngColorType type) {
  switch (type) {
    case PngColorType::Grey:
      return "grey";
    case PngColorType::RGB:
      return "rgb";
    case PngColorType::Palette:
      return "palette";
    case PngColorType::GreyAlpha:
      return "grey+alpha";
    case PngColorType::RGBA:
      return "rgba";
  }
  return "?";
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  InputFile file(path);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
  bytes.resize(file.Read(bytes.data(), bytes.size()));
  return bytes;
}

long ParseField(const std::string& text, long low, long high, const std::string& what, int line) {
  std::size_t used = 0;
  long value = 0;
  try {
    value = std::stol(text, &used, 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || value < low || value > high) {
    throw CliError{std::string(kListName) + " line " + std::to_string(line) + ": " + what +
                   " must be a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not \"" + text + "\""};
  }
  return value;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const auto tab = line.find('\t', start);
    if (tab == std::string::npos || fields.size() == 4) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

int RunPack(const std::vector<std::string>& raw) {
  Arguments args(raw, {}, {});
  args.ExpectPositional(2, "tileset pack DIR OUT.qts");
  const std::string dir = args.Positional()[0];
  const std::string list_path = JoinPath(dir, kListName);
  std::ifstream list(list_path);
  if (!list) throw UserError(CannotOpenMessage(list_path, SystemReason(errno)));

  std::vector<RawTile> tiles;
  std::string line;
  int line_number = 0;
  while (std::getline(list, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto fields = SplitTabs(line);
    if (fields.size() < 4) {
      throw CliError{std::string(kListName) + " line " + std::to_string(line_number) +
                     ": expected number, DefaultLayer, Hidden, SmartTool and a name, "
                     "separated by tabs"};
    }
    const long number = ParseField(fields[0], 0, 65534, "the tile number", line_number);
    if (number != static_cast<long>(tiles.size())) {
      throw CliError{std::string(kListName) + " line " + std::to_string(line_number) + ": tile " +
                     std::to_string(tiles.size()) + " expected, not " + std::to_string(number)};
    }
    RawTile tile;
    tile.properties.SetDefaultLayer(static_cast<std::int32_t>(
        ParseField(fields[1], INT32_MIN, INT32_MAX, "DefaultLayer", line_number)));
    tile.properties.SetHidden(
        static_cast<std::uint8_t>(ParseField(fields[2], 0, 255, "Hidden", line_number)));
    tile.properties.SetSmartTool(
        static_cast<std::uint8_t>(ParseField(fields[3], 0, 255, "SmartTool", line_number)));
    const std::string name = fields.size() > 4 ? Utf8ToCp1252(fields[4]) : std::string();
    if (name.size() > kTileNameCapacity) {
      std::cerr << "qmtool: tile " << number << ": name cut to " << kTileNameCapacity
                << " characters\n";
    }
    tile.properties.SetTileName(name);

    const std::string png_path = JoinPath(dir, TileFileName(static_cast<int>(number)));
    const auto bytes = ReadWholeFile(png_path);
    MemorySource source(bytes);
    try {
      PngImage::Load(source);
    } catch (const UserError& error) {
      throw UserError(png_path + ": " + error.what());
    }
    // Only the datastream goes in: anything a file holds after IEND would be
    // taken for the tile's properties.
    tile.png.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(source.Position()));
    tiles.push_back(std::move(tile));
  }
  std::array<std::uint8_t, kTilesetHeaderBytes> header{};
  AtomicFileWriter out(args.Positional()[1]);
  WriteRawTiles(header, tiles, out);
  out.Commit();
  return 0;
}

int RunUnpack(const std::vector<std::string>& raw) {
  Arguments args(raw, {}, {});
  args.ExpectPositional(2, "tileset unpack IN.qts DIR");
  std::array<std::uint8_t, kTilesetHeaderBytes> header{};
  std::vector<RawTile> tiles;
  {
    InputFile in(args.Positional()[0]);
    tiles = ReadRawTiles(in, header);
  }
  const std::string dir = args.Positional()[1];
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw UserError(CannotCreateMessage(dir, error.message()));

  bool header_reserved = false;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (i != kTileCountOffset && i != kTileCountOffset + 1 && header[i] != 0)
      header_reserved = true;
  }
  if (header_reserved)
    std::cerr << "qmtool: the header's reserved bytes are not zero; they are not kept\n";

  std::ostringstream list;
  list << "# number\tDefaultLayer\tHidden\tSmartTool\tname\n";
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    const RawTile& tile = tiles[i];
    const TTileProperties& p = tile.properties;
    if (!p.ReservedBytesZero()) {
      std::cerr << "qmtool: tile " << i
                << ": reserved property bytes are not zero; they are not kept\n";
    }
    AtomicFileWriter png(JoinPath(dir, TileFileName(static_cast<int>(i))));
    png.Write(tile.png.data(), tile.png.size());
    png.Commit();
    list << i << '\t' << p.DefaultLayer() << '\t' << int(p.HiddenByte()) << '\t'
         << int(p.SmartToolByte()) << '\t' << Cp1252ToUtf8(p.TileName()) << '\n';
  }
  AtomicFileWriter out(JoinPath(dir, kListName));
  const std::string text = list.str();
  out.Write(text.data(), text.size());
  out.Commit();
  return 0;
}

int PrintTilesetInfo(const std::vector<std::string>& raw) {
  Arguments args(raw, {}, {});
  args.ExpectPositional(1, "tileset info QTS");
  Tileset tileset;
  {
    InputFile in(args.Positional()[0]);
    ReadTileset(in, tileset);
  }
  std::cout << "tiles: " << tileset.TileCount() << "\n";
  std::cout << "tile\tsize\ttype\tDefaultLayer\tHidden\tSmartTool\tname\n";
  for (int tile = 0; tile < tileset.TileCount(); ++tile) {
    const PngImage& image = tileset.Image(tile);
    const TTileProperties& p = tileset.Properties(tile);
    std::cout << tile << '\t' << image.Width() << 'x' << image.Height() << '\t'
              << ColorTypeName(image.ColorType()) << '\t' << p.DefaultLayer() << '\t'
              << int(p.HiddenByte()) << '\t' << int(p.SmartToolByte()) << '\t'
              << Cp1252ToUtf8(p.TileName()) << '\n';
  }
  // A smart-tool group is its base tile and the 15 pieces after it.
  int groups = 0;
  std::ostringstream lines;
  for (int tile = 0; tile < tileset.TileCount(); ++tile) {
    if (!tileset.Properties(tile).SmartTool()) continue;
    ++groups;
    const int last = tile + 15;
    lines << "group\t" << tile << '-' << last << '\t'
          << Cp1252ToUtf8(tileset.Properties(tile).TileName());
    if (last >= tileset.TileCount())
      lines << "\t(incomplete: the tileset ends at tile " << tileset.TileCount() - 1 << ")";
    else if (last > 255)
      lines << "\t(beyond tile 255: the smart tool cannot place it)";
    lines << '\n';
  }
  std::cout << "smart-tool groups: " << groups << "\n" << lines.str();
  return 0;
}

}  // namespace

int RunTilesetPack(const std::vector<std::string>& args) {
  return RunPack(args);
}
int RunTilesetUnpack(const std::vector<std::string>& args) {
  return RunUnpack(args);
}
int RunTilesetInfo(const std::vector<std::string>& args) {
  return PrintTilesetInfo(args);
}

}  // namespace qm::cli
