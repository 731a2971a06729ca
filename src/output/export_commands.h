#pragma once
// File, Export..., "Image..." and "Tiled Map Images...", and Edit, "Copy As Image":
// the current level, or the selected part of it, as a picture at the map view's
// cell size. The pictures are made on a worker thread while a modal progress
// window keeps the editor painting and lets the user cancel; nothing can change
// the level or the tiles while one is being made.
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/user_interaction.h"
#include "document/map_document.h"
#include "document/map_view_host.h"
#include "editing/edit_outcome.h"
#include "output/image_export.h"
#include "tiles/tileset.h"

class QProgressBar;
class QWidget;

namespace qm {

inline constexpr const char* kExportMenuCaption = "Export...";
inline constexpr const char* kExportDiskCaption = "Image...";
inline constexpr const char* kExportDiskHint =
    " Export Map Or Currently Selected Map Region To Disk As A BMP, JPG Or PNG File At The "
    "Current Level Of Detail.";
inline constexpr const char* kExportDiskTiledCaption = "Tiled Map Images...";
inline constexpr const char* kExportDiskTiledHint =
    " Export Map Level To Disk As Four Tiled BMP, JPG Or PNG Files At The Current Level Of "
    "Detail.";
inline constexpr const char* kExportClipboardCaption = "Copy As Image";
inline constexpr const char* kExportClipboardHint =
    " Export The Map Level Or Currently Selected Region To The Clipboard As An Image At The "
    "Current Level Of Detail.";

// What the clipboard is trusted with. Other programs receive it converted to their
// own 32-bit formats, often more than once, so the limit counts four bytes a pixel.
inline constexpr int kClipboardMaxSide = 16384;
inline constexpr std::uint64_t kClipboardMaxBytes = std::uint64_t{256} << 20;
// The message for a picture of the region too large for the clipboard; nothing
// when it fits.
std::optional<std::string> ClipboardRefusal(ExportRegion region, int cell_size);

// The chosen picture file: the path as typed and the 1-based index of the filter
// that was selected ("Bitmaps", "JPEG Image File", "PNG Image File").
struct PictureChoice {
  std::string path;
  int filter_index = 1;
};

class SavePictureDialog {
 public:
  virtual ~SavePictureDialog() = default;
  // Nothing when the user cancels.
  virtual std::optional<PictureChoice> ChooseSavePicture() = 0;
};

// The save-picture dialog of the editor: the picture filter, no default extension
// (the command adds the filter's), starting in the program directory's "Files" and
// afterwards in the directory and on the filter last chosen.
class QtSavePictureDialog : public SavePictureDialog {
 public:
  QtSavePictureDialog(QWidget* parent, const QString& program_directory);
  std::optional<PictureChoice> ChooseSavePicture() override;

  const QString& Directory() const { return directory_; }

 private:
  QWidget* parent_;
  QString directory_;
  int filter_index_ = 1;
};

class ExportCommands {
 public:
  // The map view's selection: 0-based, inclusive.
  using SelectionSource = std::function<GridSelection()>;

  // `progress_bar` is the map page's progress bar, shown only while the tiled export
  // runs (may be null). Failures are shown through `messages`.
  ExportCommands(QWidget* parent, const MapDocument& document, const Tileset& tileset,
                 const MapViewHost& view, SelectionSource selection, QProgressBar* progress_bar,
                 SavePictureDialog& picture_dialog, UserDialogs& messages);

  void ExportDiskExecute();
  void ExportDiskTiledExecute();
  void ExportClipboardExecute();

  // The region "Image..." and "Copy As Image" export for the view's selection now.
  ExportRegion SelectedRegion() const;

  // A picture made within this time is made without a progress window (and without
  // handling window messages, so nothing can happen meanwhile); one that takes
  // longer gets the window, whose flash would otherwise be mere noise. Tests set 0
  // to see the window whatever the machine's speed.
  void SetQuietStart(int milliseconds) { quiet_milliseconds_ = milliseconds; }

 private:
  template <typename Command>
  void Guarded(Command&& command);

  QWidget* parent_;
  const MapDocument& document_;
  const Tileset& tileset_;
  const MapViewHost& view_;
  SelectionSource selection_;
  QProgressBar* progress_bar_;
  SavePictureDialog& picture_dialog_;
  UserDialogs& messages_;
  int quiet_milliseconds_ = 250;
};

}  // namespace qm
