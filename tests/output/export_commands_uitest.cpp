// "Image...", "Tiled Map Images..." and "Copy As Image" through a save dialog double:
// the files and clipboard pictures they make, their progress window and failures.
#include "output/export_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QImageReader>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <deque>
#include <filesystem>

#include "render/render_support.h"
#include "testing/document_fakes.h"
#include "testing/modal_dialog.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using testing::FakeDialogs;
using testing::FakeView;
using testing::OnNextModal;
using testing::TempDir;

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kWhite = 0xffffffff;

class PictureDialogDouble : public SavePictureDialog {
 public:
  std::deque<std::optional<PictureChoice>> choices;  // nothing queued: Cancel
  int runs = 0;
  std::optional<PictureChoice> ChooseSavePicture() override {
    ++runs;
    if (choices.empty()) return std::nullopt;
    std::optional<PictureChoice> choice = choices.front();
    choices.pop_front();
    return choice;
  }
};

class ExportCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::AddTile(tileset, test::SolidTile(8, 8, {255, 0, 0}));
    test::AddTile(tileset, test::SolidTile(8, 8, {0, 0, 255}));
    // Red at column 11, row 4; blue at the top-left cell of the upper-right quarter.
    doc.Current().SetTileIndex(11, 4, 0, 1);
    doc.Current().SetTileIndex(37, 1, 0, 2);
    view.cell_size = 4;
    bar.hide();
  }

  void Choose(const std::string& name, int filter_index) {
    pictures.choices.push_back(PictureChoice{dir.File(name), filter_index});
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Every cell drawn (on layer 2, over the marked cells), so big pictures take a while.
  void FillLevel() {
    for (int x = 1; x <= MapSize; ++x) {
      for (int y = 1; y <= MapSize; ++y) doc.Current().SetTileIndex(x, y, 1, 1);
    }
  }

  // Nothing of a command may outlast it: no wait cursor, no progress bar.
  void ExpectSettled() const {
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }

  MapDocument doc;
  Tileset tileset = test::MakeTileset();
  FakeView view;
  GridSelection selection;
  QProgressBar bar;
  PictureDialogDouble pictures;
  FakeDialogs messages;
  TempDir dir;
  ExportCommands commands{nullptr, doc,      tileset, view, [this] { return selection; },
                          &bar,    pictures, messages};
};

TEST_F(ExportCommandsTest, ImageWritesTheSelectionOrTheWholeLevelInTheChosenFormat) {
  struct Case {
    GridSelection selection;
    const char* typed;
    int filter_index;
    const char* written;
    const char* format;
    QSize size;
    QPoint red;  // where column 11, row 4 lands
  } cases[] = {
      {{10, 3, 12, 3}, "three.png", 1, "three.png", "png", {12, 4}, {0, 0}},
      {{10, 3, 12, 3}, "three", 3, "three.png", "png", {12, 4}, {0, 0}},
      {{10, 2, 10, 5}, "tall", 1, "tall.bmp", "bmp", {4, 16}, {0, 4}},
      {{5, 5, 6, 6}, "block", 1, "block.bmp", "bmp", {288, 288}, {40, 12}},
      {{5, 5, 5, 5}, "cell", 2, "cell.jpg", "jpeg", {288, 288}, {40, 12}},
      {{5, 5, 5, 5}, "odd", 9, "odd.jpg", "jpeg", {288, 288}, {40, 12}},
      {{0, 0, 71, 71}, "all.JPEG", 1, "all.JPEG", "jpeg", {288, 288}, {40, 12}},
      // A selection dragged up and to the left is the same rectangle.
      {{12, 3, 10, 3}, "back.png", 3, "back.png", "png", {12, 4}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    fs::remove_all(dir.Path());
    fs::create_directory(dir.Path());
    selection = c.selection;
    Choose(c.typed, c.filter_index);
    commands.ExportDiskExecute();

    EXPECT_TRUE(messages.errors.empty()) << messages.errors.back();
    EXPECT_EQ(Files(), std::vector<std::string>{c.written});
    QImageReader reader(QString::fromStdString(dir.File(c.written)));
    EXPECT_EQ(reader.format(), c.format);
    const QImage image = reader.read();
    ASSERT_EQ(image.size(), c.size);
    // JPEG blurs the edges a little; the middle of a cell stays close to its colour.
    const QRgb at = image.pixel(c.red + QPoint(2, 2));
    EXPECT_GT(qRed(at), 200);
    EXPECT_LT(qGreen(at), 60);
    EXPECT_GT(qGreen(image.pixel(c.size.width() - 1, c.size.height() - 1)), 200);  // white
    ExpectSettled();
  }
  EXPECT_EQ(pictures.runs, static_cast<int>(std::size(cases)));
}

TEST_F(ExportCommandsTest, TiledWritesTheFourQuartersWhateverIsSelected) {
  selection = {10, 3, 12, 3};
  struct Case {
    const char* typed;
    int filter_index;
    const char* base;
    const char* extension;
    const char* format;
  } cases[] = {{"cave", 3, "cave", ".png", "png"},
               {"cave", 2, "cave", ".jpg", "jpeg"},
               {"deep.bmp", 3, "deep", ".bmp", "bmp"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    fs::remove_all(dir.Path());
    fs::create_directory(dir.Path());
    Choose(c.typed, c.filter_index);
    commands.ExportDiskTiledExecute();
    EXPECT_TRUE(messages.errors.empty());

    std::vector<std::string> expected;
    for (char letter : std::string("ABCD")) {
      expected.push_back(std::string(c.base) + letter + c.extension);
    }
    ASSERT_EQ(Files(), expected);
    const QRgb corners[4] = {kWhite, kBlue, kWhite, kWhite};
    for (int i = 0; i < 4; ++i) {
      QImageReader reader(QString::fromStdString(dir.File(expected[i])));
      EXPECT_EQ(reader.format(), c.format);
      const QImage image = reader.read();
      EXPECT_EQ(image.size(), QSize(144, 144)) << expected[i];
      if (std::string(c.format) != "jpeg") {
        EXPECT_EQ(image.pixel(1, 1), corners[i]) << expected[i];
      }
    }
    // The red cell at column 11, row 4 is in the upper-left quarter.
    const QImage a(QString::fromStdString(dir.File(expected[0])));
    EXPECT_GT(qRed(a.pixel(42, 14)), 200);
    EXPECT_LT(qBlue(a.pixel(42, 14)), 60);
    ExpectSettled();
  }
}

TEST_F(ExportCommandsTest, CopyAsImagePutsThePictureOnTheClipboard) {
  struct Case {
    GridSelection selection;
    QSize size;
    QPoint red;
  } cases[] = {{{10, 3, 12, 3}, {12, 4}, {0, 0}},
               {{10, 3, 10, 3}, {288, 288}, {40, 12}},
               {{40, 0, 36, 5}, {20, 24}, {-1, -1}}};
  for (const Case& c : cases) {
    QGuiApplication::clipboard()->setText("before");
    selection = c.selection;
    commands.ExportClipboardExecute();
    EXPECT_TRUE(messages.errors.empty());
    const QImage image = QGuiApplication::clipboard()->image();
    ASSERT_EQ(image.size(), c.size);
    if (c.red.x() >= 0) {
      EXPECT_EQ(image.pixel(c.red + QPoint(1, 1)), kRed);
    }
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    ExpectSettled();
  }
  // The third case: columns 37..41, rows 1..6, with blue top left.
  EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(0, 0), kBlue);
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(pictures.runs, 0);
}

TEST_F(ExportCommandsTest, ClipboardLimits) {
  struct Case {
    ExportRegion region;
    int cell_size;
    bool refused;
  } cases[] = {
      {kWholeLevel, 113, false},    // 8136 x 8136: 253 MiB at four bytes a pixel
      {kWholeLevel, 114, true},     // 8208 x 8208: over 256 MiB
      {{1, 1, 72, 2}, 227, false},  // 16344 wide, thin
      {{1, 1, 72, 1}, 228, true},   // 16416 wide: over the side limit however thin
      {{1, 1, 1, 72}, 256, true},   // 18432 high
      {{1, 1, 3, 1}, 4, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClipboardRefusal(c.region, c.cell_size).has_value(), c.refused) << c.cell_size;
  }

  // A picture the clipboard would not hold is refused before anything is rendered,
  // and the clipboard keeps what it had.
  QGuiApplication::clipboard()->setText("keep me");
  view.cell_size = 192;
  selection = {3, 3, 3, 3};
  commands.ExportClipboardExecute();
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(messages.errors[0], *ClipboardRefusal(kWholeLevel, 192));
  EXPECT_NE(messages.errors[0].find("13824 x 13824"), std::string::npos) << messages.errors[0];
  EXPECT_NE(messages.errors[0].find("too large"), std::string::npos);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "keep me");
  ExpectSettled();
}

TEST_F(ExportCommandsTest, FailuresAreShownAndTheProgramGoesOn) {
  // Cancelled: nothing written, nothing said.
  commands.ExportDiskExecute();
  commands.ExportDiskTiledExecute();
  EXPECT_EQ(pictures.runs, 2);
  EXPECT_TRUE(messages.errors.empty());

  struct Case {
    std::string typed;
    int filter_index;
    bool tiled;
    std::string says;
  } cases[] = {
      {"missing/cave.png", 3, false, "Cannot create file"},
      {"missing/cave", 1, true, "Cannot create file"},
      // A name the writers do not know is reported, not silently skipped.
      {"cave.gif", 1, false, ".png"},
      {"cave.", 1, true, ".bmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    messages.errors.clear();
    Choose(c.typed, c.filter_index);
    if (c.tiled) {
      commands.ExportDiskTiledExecute();
    } else {
      commands.ExportDiskExecute();
    }
    ASSERT_EQ(messages.errors.size(), 1u);
    EXPECT_NE(messages.errors[0].find(c.says), std::string::npos) << messages.errors[0];
    EXPECT_TRUE(Files().empty());
    ExpectSettled();
  }

  // The next export works as if nothing had happened.
  messages.errors.clear();
  Choose("after", 3);
  commands.ExportDiskExecute();
  EXPECT_TRUE(messages.errors.empty());
  EXPECT_EQ(Files(), std::vector<std::string>{"after.png"});
}

TEST_F(ExportCommandsTest, LongExportShowsModalProgressAndCancelLeavesNoFile) {
  // Big enough that Cancel comes while it runs.
  FillLevel();
  view.cell_size = 128;
  commands.SetQuietStart(0);
  Choose("big.png", 3);
  bool saw_progress = false;
  const auto dialog_action1 = OnNextModal<QProgressDialog>([&](QProgressDialog* progress) {
    saw_progress = true;
    EXPECT_EQ(progress->windowModality(), Qt::ApplicationModal);
    EXPECT_NE(progress->labelText().indexOf("big.png"), -1);
    // Only the tiled export uses the map page's progress bar.
    EXPECT_FALSE(bar.isVisible());
    QPushButton* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
  });
  commands.ExportDiskExecute();
  EXPECT_TRUE(saw_progress);
  EXPECT_TRUE(messages.errors.empty());
  EXPECT_TRUE(Files().empty());  // neither the picture nor its temporary file
  ExpectSettled();
}

TEST_F(ExportCommandsTest, TiledExportShowsTheProgressBarAndStopsAtCancel) {
  FillLevel();
  view.cell_size = 160;
  commands.SetQuietStart(0);
  Choose("huge", 3);
  bar.show();  // a window shows it while its page is visible; the export hides it after
  bool saw_bar = false;
  const auto dialog_action2 = OnNextModal<QProgressDialog>([&](QProgressDialog* progress) {
    EXPECT_NE(
        progress->labelText().indexOf(QRegularExpression("huge[ABCD]\\.png \\([1-4] of 4\\)")), -1)
        << progress->labelText().toStdString();
    saw_bar = bar.isVisible() && bar.minimum() == 1 && bar.maximum() == 36;
    QTest::keyClick(progress, Qt::Key_Escape);
  });
  commands.ExportDiskTiledExecute();
  EXPECT_TRUE(saw_bar);
  EXPECT_TRUE(messages.errors.empty());
  // The quarters finished before Cancel stay, complete; the one under way leaves no
  // file, temporary or not, and none after it is started.
  const std::vector<std::string> all = {"hugeA.png", "hugeB.png", "hugeC.png", "hugeD.png"};
  const std::vector<std::string> files = Files();
  ASSERT_LT(files.size(), all.size());
  EXPECT_EQ(files, std::vector<std::string>(all.begin(), all.begin() + files.size()));
  for (const std::string& name : files) {
    EXPECT_EQ(QImage(QString::fromStdString(dir.File(name))).size(), QSize(5760, 5760));
  }
  ExpectSettled();
}

}  // namespace
}  // namespace qm
