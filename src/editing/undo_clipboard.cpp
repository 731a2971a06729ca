#include "editing/undo_clipboard.h"

#include <algorithm>
#include <cstdint>

#include "document/map_document.h"
#include "editing/tool_state.h"

namespace qm {
namespace {

void CopyCells(const TMap& from, TMap& to) {
  std::ranges::copy(from.Cells(), to.Cells().begin());
}

// Stores the cells and the region in the clipboard; `s` is already on the grid.
void CopyToEditBuffer(MapDocument& document, const ToolState& tools, const GridSelection& s) {
  TMap& clip = document.EditBuffer();
  CopyCells(document.Current(), clip);
  clip.SetClip(static_cast<std::uint8_t>(s.left), static_cast<std::uint8_t>(s.top),
               static_cast<std::uint8_t>(s.right - s.left + 1),
               static_cast<std::uint8_t>(s.bottom - s.top + 1),
               static_cast<std::uint8_t>(tools.LayerChoice()));
}

}  // namespace

void TakeUndoCopy(MapDocument& document) {
  CopyCells(document.Current(), document.UndoBuffer());
}

EditOutcome Copy(MapDocument& document, const ToolState& tools, GridSelection selection) {
  if (ClipToGrid(selection)) CopyToEditBuffer(document, tools, selection);
  return {};
}

EditOutcome Cut(MapDocument& document, const ToolState& tools, GridSelection selection) {
  TakeUndoCopy(document);
  EditOutcome outcome;
  outcome.whole_view = true;
  if (ClipToGrid(selection)) {
    CopyToEditBuffer(document, tools, selection);
    TMap& level = document.Current();
    for (int column = selection.left; column <= selection.right; ++column) {
      for (int row = selection.top; row <= selection.bottom; ++row) {
        if (tools.AutoLayering()) {
          for (int layer = 0; layer < kLayerCount; ++layer) {
            level.SetSlot(column + 1, row + 1, layer, {});
          }
        } else {
          level.SetSlot(column + 1, row + 1, tools.LayerChoice(), {});
        }
        outcome.cells.push_back({column, row});
      }
    }
  }
  document.SetModified(true);
  return outcome;
}

EditOutcome Paste(MapDocument& document, const ToolState& tools, GridSelection selection) {
  TakeUndoCopy(document);
  EditOutcome outcome;
  outcome.whole_view = true;
  document.SetModified(true);
  if (!ClipToGrid(selection)) return outcome;

  const TMap& clip = document.EditBuffer();
  TMap& level = document.Current();
  const int clip_layer = clip.ClipLayer();
  const int target_layer = tools.LayerChoice();
  // A region copied with all layers has no one slot to give; each layer then takes
  // its own slot of the copied cells.
  const int source_layer = clip_layer == kAutoLayering ? target_layer : clip_layer;
  if (!tools.AutoLayering() && source_layer >= kLayerCount) return outcome;

  for (int i = 0; i < clip.ClipWidth(); ++i) {
    const int column = selection.left + i;
    const int source_column = clip.ClipLeft() + i;
    // The clip bytes come from Copy and so describe a region on the grid; the
    // second test keeps a stray value from reading past the copied cells.
    if (column >= MapSize || source_column >= MapSize) break;
    for (int j = 0; j < clip.ClipHeight(); ++j) {
      const int row = selection.top + j;
      const int source_row = clip.ClipTop() + j;
      if (row >= MapSize || source_row >= MapSize) break;
      if (tools.AutoLayering()) {
        std::ranges::copy(clip.Cell(source_column + 1, source_row + 1),
                          level.Cell(column + 1, row + 1).begin());
      } else {
        level.SetSlot(column + 1, row + 1, target_layer,
                      clip.Slot(source_column + 1, source_row + 1, source_layer));
      }
      outcome.cells.push_back({column, row});
    }
  }
  return outcome;
}

EditOutcome Undo(MapDocument& document) {
  CopyCells(document.UndoBuffer(), document.HoldBuffer());
  CopyCells(document.Current(), document.UndoBuffer());
  CopyCells(document.HoldBuffer(), document.Current());
  document.SetModified(true);
  EditOutcome outcome;
  outcome.whole_view = true;
  return outcome;
}

EditOutcome SetBackground(MapDocument& document, const ToolState& tools) {
  document.Current().SetBackgroundTile(static_cast<std::uint16_t>(tools.CurrentTile()));
  document.SetModified(true);
  EditOutcome outcome;
  outcome.whole_view = true;
  return outcome;
}

}  // namespace qm
