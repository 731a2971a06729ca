#pragma once
// New, Open and Save of the maplet set, the start-up load of the default set, the
// switch to the set's own tileset, and the enabled state of "Generate Random Map".
#include <optional>
#include <string>

#include "common/user_interaction.h"
#include "maplets/maplet_set.h"

namespace qm {

inline constexpr const char* kGeoNewCaption = "New";
inline constexpr const char* kGeoNewHint = " Create A New Maplet Set.";
inline constexpr const char* kGeoOpenCaption = "Open";
inline constexpr const char* kGeoOpenHint = " Open An Existing Maplet Set.";
inline constexpr const char* kGeoSaveCaption = "Save";
inline constexpr const char* kGeoSaveHint = " Save The Current Maplet Set.";

// The filter and extension of the maplet set open and save dialogs.
FileDialogRequest MapletSetFileDialog();

// Switching to the tileset a maplet set was drawn with. Names are file names
// without a directory, spelled as the file system spells them.
class TilesetSwitch {
 public:
  virtual ~TilesetSwitch() = default;
  virtual std::string LoadedTilesetName() const = 0;
  // Loads that tileset from the tileset folder; an empty name is the default
  // tileset, and a name with no such file leaves the tiles as they are.
  virtual void LoadTilesetNamed(const std::string& name) = 0;
};

// The windows that show the maplet set's state: the main menu's "Generate Random
// Map" item and the maplet editor.
class MapletSetDisplay {
 public:
  virtual ~MapletSetDisplay() = default;
  virtual void EnableGenerateRandomMap(bool enabled) = 0;
  // Points the editor's position and section lists (1-based values) and, when
  // given, its layer list (0..8) at these entries and repaints its grids.
  virtual void SelectEditorMaplet(int position, int section, std::optional<int> layer) = 0;
  // Repaints the editor's palette and maplet grids.
  virtual void RepaintMapletEditor() = 0;
};

struct MapletSetHost {
  UserDialogs& dialogs;
  FileChooser& files;
  TilesetSwitch& tilesets;
  MapletSetDisplay& display;
};

class MapletSetCommands {
 public:
  MapletSetCommands(MapletSet& set, MapletSetHost host) : set_(set), host_(host) {}

  // Empties the set: every byte 0, the loaded tileset's name, the editor at the
  // first position and section with auto-layering; "Generate Random Map" off.
  void ClearMapletSet();
  // Reads the file over the set, switches to its tileset unless the loaded one has
  // the same name up to ASCII letter case, points the editor at the stored maplet
  // and enables "Generate Random Map". A file that cannot be read is shown and
  // returns false with the set, the tileset and the menu as they were.
  bool LoadMapletSet(const std::string& path);

  // The editor's tool bar commands. There is no question about unsaved changes: a
  // maplet set has no modified flag.
  void GeoNew();
  void GeoOpen();
  // False when nothing was written (no path at all, or a failure, which was shown).
  bool GeoSave();

  // Start-up: an empty set, then "Maplets/default.set" of the program directory
  // when it exists.
  void LoadDefaultMapletSet(const std::string& program_directory);

  // The set file last opened or saved; empty until then. GeoNew keeps it.
  const std::string& MapletSetFileName() const { return file_name_; }
  bool GenerateRandomMapEnabled() const { return generate_enabled_; }

 private:
  void SetGenerateEnabled(bool enabled);

  MapletSet& set_;
  MapletSetHost host_;
  std::string file_name_;
  bool generate_enabled_ = false;
};

// Upper-cases the ASCII letters only, as the tileset name comparison does.
std::string AsciiUpper(std::string text);

}  // namespace qm
