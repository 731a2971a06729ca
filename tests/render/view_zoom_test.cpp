#include "render/view_zoom.h"

#include <gtest/gtest.h>

#include "testing/document_fakes.h"

namespace qm {
namespace {

struct ZoomCase {
  int from;
  int in;
  int out;
};

TEST(ViewZoom, LadderStepsAndEnds) {
  const ZoomCase cases[] = {
      {8, 16, 8},   {16, 32, 8},   {32, 48, 16},   {48, 64, 32},    {64, 80, 48},
      {80, 96, 64}, {96, 112, 80}, {112, 128, 96}, {128, 192, 112}, {192, 192, 128},
      {24, 192, 8}, {0, 192, 8},   {255, 192, 8},
  };
  for (const ZoomCase& c : cases) {
    EXPECT_EQ(ZoomInSize(c.from), c.in) << c.from;
    EXPECT_EQ(ZoomOutSize(c.from), c.out) << c.from;
  }
}

TEST(ViewZoom, StepStoresSizeInHeaderRepaintsAndMarksModified) {
  MapDocument document;
  testing::FakeView view;
  view.cell_size = 32;
  const int repaints = view.repaints;
  ZoomView(document, view, ZoomDirection::In);
  EXPECT_EQ(view.cell_size, 48);
  EXPECT_EQ(document.Header().CellSize(), 48);
  EXPECT_EQ(view.repaints, repaints + 1);
  EXPECT_TRUE(document.Modified());

  document.SetModified(false);
  view.cell_size = 8;
  ZoomView(document, view, ZoomDirection::Out);
  EXPECT_EQ(view.cell_size, 8);
  EXPECT_TRUE(document.Modified()) << "a step that stays at 8 still counts as a zoom";
}

}  // namespace
}  // namespace qm
