// qmtool maplets info and qmtool random.
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/errors.h"
#include "common/text_encoding.h"
#include "document/document_commands.h"
#include "maplets/maplet_set.h"
#include "maplets/random_level.h"

namespace qm::cli {
namespace {

std::string LayerName(int layer) {
  return layer == kAutoLayering ? "Auto-Layering" : "Layer " + std::to_string(layer + 1);
}

// " (stored 0)" when a damaged file holds a value the editor cannot show.
std::string StoredNote(int stored, int used) {
  return stored == used ? "" : " (stored " + std::to_string(stored) + ")";
}

MapletSet ReadSet(const std::string& path) {
  MapletSet set;
  const std::size_t read = ReadMapletSetFile(path, set);
  if (read < kMapletSetBytes) {
    // The editor opens such a file without a word, over the set it had; here the
    // rest reads as an empty set, and the user should know.
    std::cerr << "qmtool: note: \"" << path << "\" holds " << read << " of " << kMapletSetBytes
              << " bytes; the rest reads as empty\n";
  }
  return set;
}

}  // namespace

int RunMapletsInfo(const std::vector<std::string>& raw) {
  Arguments args(raw, {}, {"json"});
  args.ExpectPositional(1, "maplets info [--json] SET");
  const MapletSet set = ReadSet(args.Positional()[0]);

  if (args.Flag("json")) {
    nlohmann::ordered_json out;
    out["tileset"] = Cp1252ToUtf8(set.SetTilesetName());
    out["editorTile"] = set.EditorTile();
    out["editorPosition"] = set.EditorPosition();
    out["editorSection"] = set.EditorSection();
    out["editorLayer"] = set.EditorLayer();
    out["storedEditorPosition"] = set.EditorPositionByte();
    out["storedEditorSection"] = set.EditorSectionByte();
    out["storedEditorLayer"] = set.EditorLayerByte();
    auto positions = nlohmann::ordered_json::array();
    for (int position = 1; position <= kMapletPositions; ++position) {
      nlohmann::ordered_json entry;
      entry["position"] = position;
      entry["name"] = MapletPositionName(position);
      auto empty = nlohmann::ordered_json::array();
      for (int section = 1; section <= kMapletSections; ++section) {
        empty.push_back(set.MapletEmpty(position, section));
      }
      entry["empty"] = empty;
      positions.push_back(entry);
    }
    out["positions"] = positions;
    std::cout << out.dump(2) << "\n";
    return 0;
  }

  std::cout << "tileset: \"" << Cp1252ToUtf8(set.SetTilesetName()) << "\"\n"
            << "editor: tile " << int{set.EditorTile()} << ", position " << set.EditorPosition()
            << " \"" << MapletPositionName(set.EditorPosition()) << "\""
            << StoredNote(set.EditorPositionByte(), set.EditorPosition()) << ", section "
            << set.EditorSection() << StoredNote(set.EditorSectionByte(), set.EditorSection())
            << ", layer \"" << LayerName(set.EditorLayer()) << "\""
            << StoredNote(set.EditorLayerByte(), set.EditorLayer()) << "\n"
            << "maplets by section 1-9 (# drawn, . empty):\n";
  for (int position = 1; position <= kMapletPositions; ++position) {
    const std::string name(MapletPositionName(position));
    std::cout << "  " << position << " " << name << ":" << std::string(13 - name.size(), ' ');
    for (int section = 1; section <= kMapletSections; ++section) {
      std::cout << ' ' << (set.MapletEmpty(position, section) ? '.' : '#');
    }
    std::cout << "\n";
  }
  return 0;
}

int RunRandom(const std::vector<std::string>& raw) {
  // "-o OUT" reads as "--output OUT"; the shared parser knows long options only.
  std::vector<std::string> expanded;
  for (const auto& arg : raw) expanded.push_back(arg == "-o" ? "--output" : arg);
  Arguments args(expanded, {"maplets", "level", "seed", "output"}, {});
  const std::string usage = "random MAP --maplets SET [--level N] [--seed S] [-o OUT]";
  args.ExpectPositional(1, usage);
  const auto set_path = args.Value("maplets");
  if (!set_path) throw CliError{"usage: qmtool " + usage};
  const std::string map_path = args.Positional()[0];
  const std::string out_path = args.Value("output").value_or(map_path);
  const std::uint64_t seed = static_cast<std::uint64_t>(
      args.IntValue("seed", static_cast<long>(RandomSource::ClockSeed() >> 1), 0,
                    std::numeric_limits<long>::max()));

  const MapletSet set = ReadSet(*set_path);

  MapDocument document;
  TerminalDialogs dialogs;
  HeadlessView view(32);
  DocumentCommands commands(document, {dialogs, dialogs, view});
  std::error_code ignored;
  if (std::filesystem::exists(map_path, ignored)) {
    if (!commands.OpenMap(map_path)) return 1;
  } else if (!commands.NewMap()) {
    return 1;
  }
  const long level = args.IntValue("level", 0, 0, document.LevelCount() - 1);
  document.SetCurrentLevel(static_cast<int>(level));

  RandomSource random(seed);
  GenerateRandomLevel(document, set, random);
  if (!commands.SaveMap(out_path)) return 1;
  std::cout << "level " << level << " of " << out_path << ": random from " << *set_path << " (seed "
            << seed << ")\n";
  return 0;
}

}  // namespace qm::cli
