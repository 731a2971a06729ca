#pragma once
// The tool bar pictures, drawn by the program itself so it ships no art.
#include <QIcon>

namespace qm {

enum class ToolIconKind {
  None, New, Open, Save, Select, Draw, Erase, Smart, Cut, Copy, Paste, Undo, ZoomIn, ZoomOut
};

// The picture at 20 pixels and at twice that for high-density screens.
QIcon ToolIcon(ToolIconKind kind);

}  // namespace qm
