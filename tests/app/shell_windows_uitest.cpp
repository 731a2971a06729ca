// The small windows of the shell driven through their widgets: tips, What's New
// with Check For Updates, About, and the help window over a folder of pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <ostream>
#include <string>

#include "app/about.h"
#include "app/help_window.h"
#include "app/shell_support.h"
#include "app/splash.h"
#include "app/tips.h"
#include "app/update_check.h"
#include "testing/temp_dir.h"

// Readable failure messages for the texts the windows show.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace qm {
namespace {

void WriteText(const QString& path, const QString& text) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.toUtf8());
}

QString ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

template <typename T>
T* Child(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// A modal dialog blocks in exec(); this runs a check on whichever modal window is
// up once the event loop has shown it, then lets the check close it.
void WhenModalShown(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act = std::move(act)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      ADD_FAILURE() << "no modal window is shown";
      return;
    }
    act(modal);
  });
}

// ---- Tips --------------------------------------------------------------------

TEST(TipsDialog, ShowsItsCaptionsAndStartsAtTheFirstTip) {
  Tips tips;
  tips.show();
  EXPECT_EQ(tips.windowTitle(), "Tips and Tricks");
  EXPECT_EQ(Child<QLabel>(&tips, "Header")->text(), "Did you know...");
  EXPECT_EQ(Child<QPushButton>(&tips, "NextTip")->text(), "&Next Tip");
  EXPECT_EQ(Child<QPushButton>(&tips, "CloseButton")->text(), "&Close");
  EXPECT_EQ(Child<QLabel>(&tips, "TipText")->text(),
            "You can press CTRL+R will generate a random map using the currently loaded "
            "Geoset.");
  // No "show at start-up" box: the dialog offers nothing to tick.
  EXPECT_TRUE(tips.findChildren<QAbstractButton*>().size() == 2);
}

TEST(TipsDialog, NextTipWalksThroughAllEightInOrderAndWrapsAround) {
  Tips tips;
  tips.show();
  auto* next = Child<QPushButton>(&tips, "NextTip");
  auto* text = Child<QLabel>(&tips, "TipText");
  ASSERT_EQ(Tips::kTipCount, 8);
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < Tips::kTipCount; ++i) {
      EXPECT_EQ(text->text(), QString::fromLatin1(Tips::kTips[i])) << "tip " << i + 1;
      QTest::mouseClick(next, Qt::LeftButton);
    }
  }
  EXPECT_EQ(tips.CurrentTip(), 0);
}

TEST(TipsDialog, TipsKeepTheirSpacingExactly) {
  // The label shows plain text, so the two spaces between sentences and the
  // trailing space reach the screen as written.
  Tips tips;
  tips.show();
  tips.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&tips));
  auto* text = Child<QLabel>(&tips, "TipText");
  // The "&Next Tip" access key; the button animates its press before it clicks.
  QTest::keyClick(&tips, Qt::Key_N, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return tips.CurrentTip() == 1; }, 2000));
  EXPECT_TRUE(text->text().contains("File Menu.  Geosets are collections"));
  QTest::keyClick(&tips, Qt::Key_N, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([&] { return tips.CurrentTip() == 2; }, 2000));
  EXPECT_EQ(text->text(), "You can use the Layer tool to place tiles on a specific layer. ");
  for (int i = 0; i < 5; ++i)
    QTest::mouseClick(Child<QPushButton>(&tips, "NextTip"), Qt::LeftButton);
  EXPECT_EQ(text->text(),
            "For best results use diagonal & wall tile effects should be used on square PNG "
            "tiles.");
}

TEST(TipsDialog, CloseEndsTheModalRun) {
  bool seen = false;
  WhenModalShown([&](QWidget* modal) {
    seen = modal->objectName() == "Tips";
    QTest::mouseClick(modal->findChild<QPushButton*>("CloseButton"), Qt::LeftButton);
  });
  Tips::ShowModal(nullptr);
  EXPECT_TRUE(seen);
}

// ---- What's New and Check For Updates ------------------------------------------

class WhatsNewTest : public ::testing::Test {
 protected:
  QString Dir() const { return QString::fromStdString(dir_.Path()); }
  QString Page() const { return QDir(Dir()).filePath("whatsnew.htm"); }
  testing::TempDir dir_;
};

TEST_F(WhatsNewTest, CaptionButtonsAndFrame) {
  TSplashForm form(Dir());
  EXPECT_EQ(form.windowTitle(), "Whats New");
  auto* update = Child<QPushButton>(&form, "Update");
  auto* go_on = Child<QPushButton>(&form, "Continue");
  EXPECT_EQ(update->text(), "Update");
  EXPECT_EQ(update->toolTip(), "Check For Updates");
  EXPECT_EQ(go_on->text(), "Continue");
  EXPECT_TRUE(go_on->isDefault());
  EXPECT_EQ(form.windowType(), Qt::Tool);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMinMaxButtonsHint);
}

TEST_F(WhatsNewTest, LoadsThePageEachTimeItIsShown) {
  WriteText(Page(), "<html><body><p>Walls now join up.</p></body></html>");
  TSplashForm form(Dir());
  auto* view = Child<QTextBrowser>(&form, "HTMLViewer");
  form.show();
  EXPECT_EQ(view->toPlainText().trimmed(), "Walls now join up.");

  form.hide();
  WriteText(Page(), "<html><body><p>Doors now open.</p></body></html>");
  form.show();
  EXPECT_EQ(view->toPlainText().trimmed(), "Doors now open.");
}

TEST_F(WhatsNewTest, UpdateRunsTheUpdateCheckThenReadsThePageAgain) {
  WriteText(Page(), "<p>Release one</p>");
  TSplashForm form(Dir());
  auto* view = Child<QTextBrowser>(&form, "HTMLViewer");
  form.show();
  ASSERT_EQ(view->toPlainText().trimmed(), "Release one");

  // What an installed update would do while the update dialog is open.
  QString shown_version;
  WhenModalShown([&](QWidget* modal) {
    if (auto* version = modal->findChild<QLabel*>("Version")) shown_version = version->text();
    WriteText(Page(), "<p>Release two</p>");
    QTest::keyClick(modal, Qt::Key_Return);
  });
  QTest::mouseClick(Child<QPushButton>(&form, "Update"), Qt::LeftButton);
  EXPECT_EQ(shown_version, kProgramVersionText);
  EXPECT_EQ(view->toPlainText().trimmed(), "Release two");
}

TEST_F(WhatsNewTest, AMissingPageLeavesTheViewEmpty) {
  WriteText(Page(), "<p>Soon gone</p>");
  TSplashForm form(Dir());
  auto* view = Child<QTextBrowser>(&form, "HTMLViewer");
  form.show();
  ASSERT_FALSE(view->toPlainText().trimmed().isEmpty());

  // Removed while the window is open: Update must not keep showing the old page.
  QFile::remove(Page());
  WhenModalShown([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
  QTest::mouseClick(Child<QPushButton>(&form, "Update"), Qt::LeftButton);
  EXPECT_TRUE(view->toPlainText().trimmed().isEmpty());

  TSplashForm fresh(QDir(Dir()).filePath("no-such-folder"));
  fresh.show();
  EXPECT_TRUE(Child<QTextBrowser>(&fresh, "HTMLViewer")->toPlainText().trimmed().isEmpty());
}

TEST_F(WhatsNewTest, ContinueIsTheDefaultButtonAndEndsTheModalRun) {
  WriteText(Page(), "<p>Hello</p>");
  bool seen = false;
  WhenModalShown([&](QWidget* modal) {
    seen = modal->windowTitle() == "Whats New";
    QTest::keyClick(modal, Qt::Key_Return);
  });
  TSplashForm::ShowModal(nullptr, Dir());
  EXPECT_TRUE(seen);
}

TEST(UpdateCheck, SaysPlainlyThatThereIsNothingToCheck) {
  UpdateCheckDialog dialog;
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Check For Updates");
  EXPECT_EQ(Child<QLabel>(&dialog, "Version")->text(), "Quillmarch Pro - Version 1.2.0.0");
  const QString message = Child<QLabel>(&dialog, "Message")->text();
  EXPECT_TRUE(message.contains("no update server")) << message.toStdString();
  EXPECT_TRUE(message.contains("nothing has been looked up")) << message.toStdString();
}

// ---- About -----------------------------------------------------------------------

TEST(AboutBox, ShowsThePictureAndTheVersionAndOkCloses) {
  bool checked = false;
  WhenModalShown([&](QWidget* modal) {
    EXPECT_EQ(modal->windowTitle(), "About");
    auto* version = modal->findChild<QLabel*>("Version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Quillmarch Pro - Version 1.2.0.0");
    auto* picture = modal->findChild<QWidget*>("ProgramIcon");
    ASSERT_NE(picture, nullptr);
    // The picture really draws something: not one flat colour.
    const QImage image = picture->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
      for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8);
    auto* ok = modal->findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    checked = true;
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  TcfAboutBox::ShowModal(nullptr);
  EXPECT_TRUE(checked);
}

// ---- Help window -------------------------------------------------------------------

// A small help folder: a contents page with two entries, a page that links on,
// and a link to a page that is not there.
class HelpWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString help = QDir(Dir()).filePath("help");
    WriteText(help + "/index.htm",
              "<html><head><title>Contents</title></head><body><ul>"
              "<li><a href=\"tools.htm\">The <b>tools</b></a></li>"
              "<li><a href=\"layers.htm\">Layers</a></li>"
              "<li><a href=\"http://example.invalid/\">Elsewhere</a></li>"
              "</ul></body></html>");
    WriteText(help + "/tools.htm",
              "<html><head><title>The tools</title></head><body><p>Tools page.</p>"
              "<p>See <a href=\"layers.htm#auto\">auto layering</a> or "
              "<a href=\"gone.htm\">a lost page</a>.</p></body></html>");
    WriteText(help + "/layers.htm",
              "<html><head><title>Layers</title></head><body><p>Layers page.</p>"
              "<p><a name=\"auto\"></a>Auto.</p></body></html>");
  }

  QString Dir() const { return QString::fromStdString(dir_.Path()); }

  static QString ShownPage(QTextBrowser* view) {
    return QFileInfo(view->source().toLocalFile()).fileName();
  }

  // Clicks the link whose text is `text` in the browser, as a user would.
  static void ClickLink(QTextBrowser* view, const QString& text) {
    const QTextCursor found = view->document()->find(text);
    ASSERT_FALSE(found.isNull()) << text.toStdString();
    QTextCursor inside(view->document());
    inside.setPosition(found.selectionStart() + 1);
    const QPoint at = view->cursorRect(inside).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  }

  testing::TempDir dir_;
};

TEST_F(HelpWindowTest, OpensOnTheContentsPageWithTheContentsList) {
  HelpWindow window(Dir());
  window.ShowContents();
  auto* view = Child<QTextBrowser>(&window, "Viewer");
  EXPECT_EQ(ShownPage(view), "index.htm");
  EXPECT_EQ(window.windowTitle(), "Quillmarch Help - Contents");

  auto* list = Child<QListWidget>(&window, "ContentsList");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text(), "Contents");
  EXPECT_EQ(list->item(1)->text(), "The tools");  // the bold word is part of the entry
  EXPECT_EQ(list->item(2)->text(), "Layers");
  EXPECT_EQ(list->currentRow(), 0);
}

TEST_F(HelpWindowTest, FollowsALinkAndBackAndForwardRetraceTheWay) {
  HelpWindow window(Dir());
  window.resize(800, 600);
  window.ShowContents();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* view = Child<QTextBrowser>(&window, "Viewer");
  auto* back = Child<QToolButton>(&window, "BackButton");
  auto* forward = Child<QToolButton>(&window, "ForwardButton");
  auto* list = Child<QListWidget>(&window, "ContentsList");
  EXPECT_FALSE(back->isEnabled());

  ClickLink(view, "tools");
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPage(view) == "tools.htm"; }, 2000));
  EXPECT_TRUE(view->toPlainText().contains("Tools page."));
  EXPECT_EQ(window.windowTitle(), "Quillmarch Help - The tools");
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_TRUE(back->isEnabled());

  ClickLink(view, "auto layering");
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPage(view) == "layers.htm"; }, 2000));
  EXPECT_EQ(list->currentRow(), 2);

  QTest::mouseClick(back, Qt::LeftButton);
  EXPECT_EQ(ShownPage(view), "tools.htm");
  QTest::mouseClick(back, Qt::LeftButton);
  EXPECT_EQ(ShownPage(view), "index.htm");
  EXPECT_FALSE(back->isEnabled());
  EXPECT_TRUE(forward->isEnabled());
  QTest::mouseClick(forward, Qt::LeftButton);
  EXPECT_EQ(ShownPage(view), "tools.htm");
  EXPECT_EQ(list->currentRow(), 1);

  QTest::mouseClick(Child<QToolButton>(&window, "ContentsButton"), Qt::LeftButton);
  EXPECT_EQ(ShownPage(view), "index.htm");
}

TEST_F(HelpWindowTest, ContentsListOpensItsPage) {
  HelpWindow window(Dir());
  window.ShowContents();
  auto* list = Child<QListWidget>(&window, "ContentsList");
  auto* view = Child<QTextBrowser>(&window, "Viewer");
  const QRect row = list->visualItemRect(list->item(2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(ShownPage(view), "layers.htm");
  EXPECT_TRUE(view->toPlainText().contains("Layers page."));
  // Enter on the same entry keeps the page, and one Back returns to the contents.
  QTest::keyClick(list, Qt::Key_Return);
  QTest::mouseClick(Child<QToolButton>(&window, "BackButton"), Qt::LeftButton);
  EXPECT_EQ(ShownPage(view), "index.htm");
}

TEST_F(HelpWindowTest, ABrokenLinkSaysWhichPageIsMissing) {
  HelpWindow window(Dir());
  window.resize(800, 600);
  window.ShowPage("tools.htm");
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* view = Child<QTextBrowser>(&window, "Viewer");
  ClickLink(view, "a lost page");
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPage(view) == "gone.htm"; }, 2000));
  EXPECT_TRUE(view->toPlainText().contains("\"gone.htm\" is missing"))
      << view->toPlainText().toStdString();
}

TEST(HelpWindowMissing, AMissingHelpFolderShowsAShortMessage) {
  testing::TempDir empty;
  const QString dir = QString::fromStdString(empty.Path());
  HelpWindow window(dir);
  window.ShowContents();
  auto* view = Child<QTextBrowser>(&window, "Viewer");
  EXPECT_TRUE(view->toPlainText().startsWith("The help pages are not installed."))
      << view->toPlainText().toStdString();
  EXPECT_TRUE(view->toPlainText().contains(QDir::toNativeSeparators(dir + "/help")));
  EXPECT_EQ(Child<QListWidget>(&window, "ContentsList")->count(), 0);
  EXPECT_FALSE(Child<QToolButton>(&window, "BackButton")->isEnabled());
  // The buttons stay harmless.
  QTest::mouseClick(Child<QToolButton>(&window, "ContentsButton"), Qt::LeftButton);
  EXPECT_TRUE(view->toPlainText().startsWith("The help pages are not installed."));
}

// ---- The shipped help pages ----------------------------------------------------------

QString ShippedHelpFolder() {
  return QStringLiteral(QM_SOURCE_DIR "/assets/help");
}

QStringList ShippedPages() {
  return QDir(ShippedHelpFolder()).entryList({"*.htm"}, QDir::Files, QDir::Name);
}

TEST(ShippedHelp, EveryLinkLeadsToAPageAndAnchorThatExist) {
  const QStringList pages = ShippedPages();
  ASSERT_FALSE(pages.isEmpty());
  ASSERT_TRUE(pages.contains(HelpWindow::kContentsPage));
  for (const QString& page : pages) {
    const QString html = ReadText(ShippedHelpFolder() + "/" + page);
    // Fragments are checked against the named anchors of the page they point into.
    static const QRegularExpression href(R"re(href="([^"#:]*)(#([^"]*))?")re");
    for (auto it = href.globalMatch(html); it.hasNext();) {
      const auto match = it.next();
      const QString target = match.captured(1).isEmpty() ? page : match.captured(1);
      if (target.endsWith(".css")) continue;
      ASSERT_TRUE(pages.contains(target))
          << page.toStdString() << " links to missing " << target.toStdString();
      if (match.hasCaptured(3)) {
        const QString anchor = match.captured(3);
        EXPECT_TRUE(
            ReadText(ShippedHelpFolder() + "/" + target).contains("name=\"" + anchor + "\""))
            << page.toStdString() << " links to missing anchor " << target.toStdString() << "#"
            << anchor.toStdString();
      }
    }
    for (const QString& linked : HelpWindow::LinkedPages(html))
      EXPECT_TRUE(pages.contains(linked)) << page.toStdString() << " -> " << linked.toStdString();
  }
}

TEST(ShippedHelp, TheContentsListReachesEveryPage) {
  // Installed as the build installs it: a program directory with a help folder.
  testing::TempDir program;
  const QString dir = QString::fromStdString(program.Path());
  ASSERT_TRUE(QDir().mkpath(dir + "/help"));
  for (const QString& file : QDir(ShippedHelpFolder()).entryList(QDir::Files))
    ASSERT_TRUE(QFile::copy(ShippedHelpFolder() + "/" + file, dir + "/help/" + file));
  HelpWindow window(dir);
  window.ShowContents();
  QSet<QString> listed;
  for (const auto& entry : window.Contents()) {
    EXPECT_FALSE(entry.title.isEmpty()) << entry.page.toStdString();
    listed.insert(entry.page);
  }
  for (const QString& page : ShippedPages())
    EXPECT_TRUE(listed.contains(page)) << page.toStdString() << " is not in the contents";
}

TEST(ShippedHelp, TheShortcutsPageListsEveryShortcutOfTheMenus) {
  // Every key of the main window's menus that this release offers.
  static const char* const kShortcuts[] = {
      "Ctrl+S",     "Ctrl+R",     "Ctrl+X", "Ctrl+C", "Ctrl+V",     "Ctrl+Z",     "Ctrl+M",
      "Ctrl+U",     "Ctrl+D",     "Ctrl+A", "Del",    "Ctrl+Alt+U", "Ctrl+Alt+D", "Ctrl+B",
      "Ctrl+Alt+I", "Ctrl+Alt+O", "Ctrl+I", "Ctrl+O", "F1",         "Ctrl+T"};
  const QString page = ReadText(ShippedHelpFolder() + "/shortcuts.htm");
  ASSERT_FALSE(page.isEmpty());
  for (const char* keys : kShortcuts)
    EXPECT_TRUE(page.contains(QString(">%1<").arg(keys))) << keys << " is not listed";
}

TEST(ShippedHelp, LeavesOutWhatThisReleaseDoesNotOffer) {
  // Printing and scripting are not in this release; no page may send users looking.
  struct Absent {
    const char* text;
    Qt::CaseSensitivity match;
  };
  static const Absent kAbsent[] = {{"print", Qt::CaseInsensitive},
                                   {"script", Qt::CaseInsensitive},
                                   {"Ctrl+P", Qt::CaseSensitive},
                                   {"F9", Qt::CaseSensitive},
                                   {"F4", Qt::CaseSensitive}};
  QStringList files = ShippedPages();
  for (QString& file : files) file = ShippedHelpFolder() + "/" + file;
  files << QStringLiteral(QM_SOURCE_DIR "/assets/whatsnew.htm");
  for (const QString& file : files) {
    const QString text = ReadText(file);
    ASSERT_FALSE(text.isEmpty()) << file.toStdString();
    for (const Absent& word : kAbsent)
      EXPECT_FALSE(text.contains(QLatin1String(word.text), word.match))
          << file.toStdString() << " mentions " << word.text;
  }
}

}  // namespace
}  // namespace qm
