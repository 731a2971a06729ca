#pragma once
// New, Open, Save and Save As, with the question about unsaved changes, the map
// file dialogs and the window caption.
#include <string>

#include "common/user_interaction.h"
#include "document/map_document.h"
#include "document/map_view_host.h"

namespace qm {

inline constexpr const char* kSaveChangesQuestion =
    "The Current Map Has Been Modified. Do You Want To Save?";
inline constexpr const char* kCaption = "Quillmarch Pro";
inline constexpr const char* kCaptionWithFile = "Quillmarch Pro - ";

FileDialogRequest MapFileDialog();

struct DocumentHost {
  UserDialogs& dialogs;
  FileChooser& files;
  MapViewHost& view;
};

class DocumentCommands {
 public:
  DocumentCommands(MapDocument& document, DocumentHost host) : doc_(document), host_(host) {}

  // Replaces the map by a new one-level map. False when the user abandoned it at
  // the question about unsaved changes (Cancel, or a save that did not happen).
  bool NewMap();
  // Opens name, or asks for a file when name is empty. False when nothing was
  // opened; the document is then exactly as it was.
  bool OpenMap(const std::string& name);
  // Saves to name, or asks for one when name is empty. False when nothing was
  // saved; failures have been shown and the document is unchanged.
  bool SaveMap(const std::string& name);

  // The menu commands.
  void NewCommand();
  void OpenCommand() { OpenMap(""); }
  void SaveCommand() { SaveMap(doc_.DocumentFileName()); }
  void SaveAsCommand() { SaveMap(""); }

  // The question about unsaved changes, when the map is modified: Yes saves, No
  // discards. True when the caller may go ahead and replace or close the map:
  // false after Cancel or a save that did not happen.
  bool SettleUnsavedChanges();

 private:
  void RefillLevels();

  MapDocument& doc_;
  DocumentHost host_;
};

// "Quillmarch Pro - " followed by the file name without its directory.
std::string CaptionFor(const std::string& file_name);

}  // namespace qm
