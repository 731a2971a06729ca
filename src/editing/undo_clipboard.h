#pragma once
// One-step undo, the map clipboard and the level background. All of them work on
// whole cell blocks in the document's scratch levels: UndoBuffer holds the current
// level's cells from before the last change, EditBuffer a copy of the cells a
// region was copied from (the region and layer choice in its clip bytes), and
// HoldBuffer is the third hand of the undo exchange.
#include "editing/edit_outcome.h"

namespace qm {

class MapDocument;
class ToolState;

// The current level's 72 x 72 cells (not its tail) into UndoBuffer. Every edit that
// Undo can revert starts with this.
void TakeUndoCopy(MapDocument& document);

// Copies the current level's cells into EditBuffer and remembers the selection and
// the layer choice there. Changes nothing shown and leaves Modified alone.
EditOutcome Copy(MapDocument& document, const ToolState& tools, GridSelection selection);

// Undo copy, Copy, then empties the selected cells: all eight slots under auto
// layering, otherwise the chosen layer's slot. Reserved words stay. Sets Modified.
EditOutcome Cut(MapDocument& document, const ToolState& tools, GridSelection selection);

// Undo copy, then lays the copied region with its top-left cell on the selection's
// top-left cell, skipping what falls off the map. Under auto layering whole cells
// are copied (reserved word included); with one layer chosen that slot of each
// target cell receives the copied layer's slot, or, for a region copied under auto
// layering, the same layer's slot of the source cell. Sets Modified, also when
// nothing had been copied yet.
EditOutcome Paste(MapDocument& document, const ToolState& tools, GridSelection selection);

// Exchanges the current level's cells with UndoBuffer; a second Undo exchanges them
// back. Level tails never move. Sets Modified.
EditOutcome Undo(MapDocument& document);

// The current level's background := CurrentTile (low 16 bits; 0 removes it). Not
// undoable: no undo copy is taken. Sets Modified.
EditOutcome SetBackground(MapDocument& document, const ToolState& tools);

}  // namespace qm
