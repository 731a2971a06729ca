#pragma once
// The help window (Help, Help Index, F1): the HTML pages shipped in the "help"
// folder of the program directory, with a contents list, Back, Forward and
// Contents. The contents list is read from the links of the contents page, so
// adding a page to the help means linking it from index.htm and nothing else.
#include <QList>
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class QListWidget;
class QListWidgetItem;
class QToolButton;

namespace qm {

// A text browser that shows a short note for a page that is missing instead of
// an empty view, so a broken link says what went wrong.
class HelpBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  using QTextBrowser::QTextBrowser;
  QVariant loadResource(int type, const QUrl& name) override;
};

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kContentsPage = "index.htm";

  struct ContentsEntry {
    QString title;
    QString page;  // file name inside the help folder, e.g. "tools.htm"
  };

  HelpWindow(const QString& program_dir, QWidget* parent = nullptr);

  // Help Index: shows and raises the window on the contents page.
  void ShowContents();
  // Shows one page of the help folder by its file name.
  void ShowPage(const QString& page);

  QString HelpFolder() const;
  bool HelpInstalled() const;
  // The entries of the contents list, in the order of the contents page.
  const QList<ContentsEntry>& Contents() const { return contents_; }

  // The pages a help page links to, in document order: links inside the help
  // folder as file names (anchors dropped), outside links left out.
  static QStringList LinkedPages(const QString& html);
  // The same links with their text, a link split over several runs joined again.
  static QList<ContentsEntry> PageLinks(const QString& html);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ReadContents();
  void ShowMissingHelp();
  void ContentsListClick(QListWidgetItem* item);
  void ViewerSourceChanged(const QUrl& source);

  QString program_dir_;
  bool placed_ = false;  // centred once; later the window stays where the user put it
  QList<ContentsEntry> contents_;
  QListWidget* ContentsList = nullptr;
  HelpBrowser* Viewer = nullptr;
  QToolButton* BackButton = nullptr;
  QToolButton* ForwardButton = nullptr;
  QToolButton* ContentsButton = nullptr;
};

}  // namespace qm
