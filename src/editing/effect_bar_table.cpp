#include "editing/effect_bar_table.h"

#include <array>

namespace qm {
namespace {

using G = EffectGroup;

constexpr std::array<EffectButton, 49> kButtons = {{
    {"Effect0", 0, 0, G::Position, " Position Full"},
    {"ToolButton9", 1, 0, G::Position, " Position Upper-Left"},
    {"ToolButton10", 2, 0, G::Position, " Position Upper-Center"},
    {"ToolButton11", 3, 0, G::Position, " Position Upper-Right"},
    {"ToolButton12", 4, 0, G::Position, " Position Center-Left"},
    {"ToolButton13", 5, 0, G::Position, " Position Center"},
    {"ToolButton14", 6, 0, G::Position, " Position Center-Right"},
    {"ToolButton15", 7, 0, G::Position, " Position Lower-Left"},
    {"ToolButton16", 8, 0, G::Position, " Position Lower-Center"},
    {"ToolButton17", 9, 0, G::Position, " Position Lower-Right"},
    {"ToolButton19", 10, 0, G::Tiling, " Tile Full"},
    {"ToolButton20", 11, 0, G::Tiling, " Tile Upper Horizontally"},
    {"ToolButton64", 47, 0, G::Tiling, " Tile Center Horizontally"},
    {"ToolButton21", 12, 0, G::Tiling, " Tile Lower Horizontally"},
    {"ToolButton26", 13, 0, G::Tiling, " Tile Left Vertically"},
    {"ToolButton65", 48, 0, G::Tiling, " Tile Center Vertically"},
    {"ToolButton27", 14, 0, G::Tiling, " Tile Right Vertically"},
    {"ToolButton32", 15, 0, G::Tiling, " Tile Upper-Left Diagonally"},
    {"ToolButton33", 16, 0, G::Tiling, " Tile Upper-Right Diagonally"},
    {"ToolButton34", 17, 0, G::Tiling, " Tile Lower-Right Diagonally"},
    {"ToolButton36", 18, 0, G::Tiling, " Tile Lower-Left Diagonally"},
    {"ToolButton8", 43, 0, G::Zoom, " Zoom Upper-Left Quarter"},
    {"ToolButton37", 44, 0, G::Zoom, " Zoom Upper-Right Quarter"},
    {"ToolButton39", 45, 0, G::Zoom, " Zoom Lower-Left Quarter"},
    {"ToolButton40", 46, 0, G::Zoom, " Zoom Lower-Right Quarter"},
    {"diagUL", 19, 1, G::DiagonalMask, " Mask Upper-Left Diagonal"},
    {"DiagLR", 20, 1, G::DiagonalMask, " Mask Lower-Right Diagonal"},
    {"DiagLL", 21, 1, G::DiagonalMask, " Mask Lower-Left Diagonal"},
    {"DiagUR", 22, 1, G::DiagonalMask, " Mask Upper-Right Diagonal"},
    {"ToolButton43", 23, 1, G::WallMask, " Mask 4-Way Wall Section"},
    {"ToolButton44", 24, 1, G::WallMask, " Mask Horizontal Wall Section"},
    {"ToolButton45", 25, 1, G::WallMask, " Mask Vertical Wall Section"},
    // This one has always been shown without the leading space the others have.
    {"ToolButton46", 26, 1, G::WallMask, "Mask Upper-T Wall Section"},
    {"ToolButton47", 27, 1, G::WallMask, " Mask Lower-T Wall Section"},
    {"ToolButton48", 28, 1, G::WallMask, " Mask Left-T Wall Section"},
    {"ToolButton49", 29, 1, G::WallMask, " Mask Right-T Wall Section"},
    {"ToolButton50", 30, 1, G::WallMask, " Mask Upper-Left Corner Wall Section"},
    {"ToolButton51", 31, 1, G::WallMask, " Mask Upper-Right Corner Wall Section"},
    {"ToolButton52", 32, 1, G::WallMask, " Mask Lower-Left Corner Wall Section"},
    {"ToolButton53", 33, 1, G::WallMask, " Mask Lower-Right Corner Wall Section"},
    {"ToolButton55", 34, 1, G::Transparency, " 10% Transparent"},
    {"ToolButton56", 35, 1, G::Transparency, " 20% Transparent"},
    {"ToolButton57", 36, 1, G::Transparency, " 30% Transparent"},
    {"ToolButton58", 37, 1, G::Transparency, " 40% Transparent"},
    {"ToolButton59", 38, 1, G::Transparency, " 50% Transparent"},
    {"ToolButton60", 39, 1, G::Transparency, " 60% Transparent"},
    {"ToolButton61", 40, 1, G::Transparency, " 70% Transparent"},
    {"ToolButton62", 41, 1, G::Transparency, " 80% Transparent"},
    {"ToolButton63", 42, 1, G::Transparency, " 90% Transparent"},
}};

}  // namespace

std::span<const EffectButton> EffectBarButtons() {
  return kButtons;
}

const EffectButton* FindEffectButton(int code) {
  for (const EffectButton& button : kButtons) {
    if (button.code == code) return &button;
  }
  return nullptr;
}

}  // namespace qm
