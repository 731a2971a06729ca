#include "app/help_window.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QListWidget>
#include <QShortcut>
#include <QSplitter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/shell_support.h"

namespace qm {
namespace {

QString ReadHtml(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
  return decoder.isValid() ? decoder.decode(bytes) : QString::fromUtf8(bytes);
}

// A link that stays inside the help folder: relative, with no scheme, naming a page
// rather than only an anchor of the current one.
bool IsHelpPageLink(const QUrl& url) {
  return url.isRelative() && url.scheme().isEmpty() && !url.path().isEmpty();
}

}  // namespace

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
  QVariant resource = QTextBrowser::loadResource(type, name);
  if (type == QTextDocument::HtmlResource && !resource.isValid()) {
    const QString page =
        name.isLocalFile() ? QFileInfo(name.toLocalFile()).fileName() : name.toString();
    return QString(
               "<html><head><title>Page missing</title></head><body><p>The help page "
               "\"%1\" is missing from this installation.</p></body></html>")
        .arg(page.toHtmlEscaped());
  }
  return resource;
}

HelpWindow::HelpWindow(const QString& program_dir, QWidget* parent)
    : QWidget(parent, Qt::Window), program_dir_(program_dir) {
  setObjectName("HelpWindow");
  setWindowTitle("Quillmarch Help");

  BackButton = new QToolButton(this);
  BackButton->setObjectName("BackButton");
  BackButton->setText("Back");
  BackButton->setToolTip("Back To The Previous Page (Alt+Left)");
  BackButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  BackButton->setArrowType(Qt::LeftArrow);
  BackButton->setEnabled(false);

  ForwardButton = new QToolButton(this);
  ForwardButton->setObjectName("ForwardButton");
  ForwardButton->setText("Forward");
  ForwardButton->setToolTip("Forward To The Next Page (Alt+Right)");
  ForwardButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ForwardButton->setArrowType(Qt::RightArrow);
  ForwardButton->setEnabled(false);

  ContentsButton = new QToolButton(this);
  ContentsButton->setObjectName("ContentsButton");
  ContentsButton->setText("Contents");
  ContentsButton->setToolTip("Show The Contents Page");

  ContentsList = new QListWidget(this);
  ContentsList->setObjectName("ContentsList");
  ContentsList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ContentsList->setTextElideMode(Qt::ElideRight);

  Viewer = new HelpBrowser(this);
  Viewer->setObjectName("Viewer");
  Viewer->setOpenExternalLinks(true);

  connect(BackButton, &QToolButton::clicked, Viewer, &QTextBrowser::backward);
  connect(ForwardButton, &QToolButton::clicked, Viewer, &QTextBrowser::forward);
  connect(ContentsButton, &QToolButton::clicked, this, [this] { ShowPage(kContentsPage); });
  connect(Viewer, &QTextBrowser::backwardAvailable, BackButton, &QToolButton::setEnabled);
  connect(Viewer, &QTextBrowser::forwardAvailable, ForwardButton, &QToolButton::setEnabled);
  connect(Viewer, &QTextBrowser::sourceChanged, this, &HelpWindow::ViewerSourceChanged);
  connect(ContentsList, &QListWidget::itemActivated, this, &HelpWindow::ContentsListClick);
  connect(ContentsList, &QListWidget::itemClicked, this, &HelpWindow::ContentsListClick);

  auto* back = new QShortcut(QKeySequence::Back, this);
  connect(back, &QShortcut::activated, Viewer, &QTextBrowser::backward);
  auto* forward = new QShortcut(QKeySequence::Forward, this);
  connect(forward, &QShortcut::activated, Viewer, &QTextBrowser::forward);
  auto* close_window = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close_window, &QShortcut::activated, this, &QWidget::close);

  auto* bar = new QHBoxLayout;
  bar->addWidget(BackButton);
  bar->addWidget(ForwardButton);
  bar->addWidget(ContentsButton);
  bar->addStretch(1);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(ContentsList);
  splitter->addWidget(Viewer);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(splitter, 1);

  const int em = fontMetrics().averageCharWidth();
  ContentsList->setMinimumWidth(em * 18);
  splitter->setSizes({em * 34, em * 100});
  resize(em * 134, fontMetrics().height() * 42);
}

QString HelpWindow::HelpFolder() const {
  return ProgramFile(program_dir_, "help");
}

bool HelpWindow::HelpInstalled() const {
  return QFileInfo(QDir(HelpFolder()).filePath(kContentsPage)).isFile();
}

QList<HelpWindow::ContentsEntry> HelpWindow::PageLinks(const QString& html) {
  QTextDocument document;
  document.setHtml(html);
  QList<ContentsEntry> links;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    QString previous_href;  // a link split over fragments (a bold word in it) is one link
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      const QString href = format.isAnchor() ? format.anchorHref() : QString();
      if (href.isEmpty()) {
        previous_href.clear();
        continue;
      }
      const QUrl url(href);
      if (!IsHelpPageLink(url)) {
        previous_href.clear();
        continue;
      }
      if (href == previous_href) {
        links.last().title += fragment.text();
      } else {
        links.append(ContentsEntry{fragment.text(), url.path()});
      }
      previous_href = href;
    }
  }
  for (ContentsEntry& link : links) link.title = link.title.simplified();
  return links;
}

QStringList HelpWindow::LinkedPages(const QString& html) {
  QStringList pages;
  for (const ContentsEntry& link : PageLinks(html)) pages << link.page;
  return pages;
}

void HelpWindow::ReadContents() {
  contents_.clear();
  ContentsList->clear();
  if (!HelpInstalled()) return;

  contents_.append(ContentsEntry{"Contents", kContentsPage});
  for (const ContentsEntry& link :
       PageLinks(ReadHtml(QDir(HelpFolder()).filePath(kContentsPage)))) {
    const bool listed = std::any_of(contents_.begin(), contents_.end(),
                                    [&](const ContentsEntry& e) { return e.page == link.page; });
    if (!listed) contents_.append(link);
  }
  for (const ContentsEntry& entry : contents_) {
    auto* item = new QListWidgetItem(entry.title, ContentsList);
    item->setData(Qt::UserRole, entry.page);
  }
}

void HelpWindow::ShowMissingHelp() {
  Viewer->clearHistory();
  Viewer->setPlainText(
      QString("The help pages are not installed. They belong in the folder \"%1\".")
          .arg(QDir::toNativeSeparators(HelpFolder())));
  setWindowTitle("Quillmarch Help");
}

void HelpWindow::ShowContents() {
  ReadContents();
  ShowPage(kContentsPage);
  show();
  raise();
  activateWindow();
}

void HelpWindow::ShowPage(const QString& page) {
  if (!HelpInstalled()) {
    ShowMissingHelp();
    return;
  }
  if (contents_.isEmpty()) ReadContents();
  Viewer->setSource(QUrl::fromLocalFile(QDir(HelpFolder()).filePath(page)));
}

void HelpWindow::showEvent(QShowEvent* event) {
  if (!placed_) {
    FitOnScreen(this);
    CentreOnScreen(this);
    placed_ = true;
  }
  QWidget::showEvent(event);
}

void HelpWindow::ContentsListClick(QListWidgetItem* item) {
  if (!item) return;
  // A click can count as an activation too; the page already shown is not
  // loaded a second time.
  const QString page = item->data(Qt::UserRole).toString();
  if (QFileInfo(Viewer->source().toLocalFile()).fileName() == page) return;
  ShowPage(page);
}

void HelpWindow::ViewerSourceChanged(const QUrl& source) {
  const QString title = Viewer->documentTitle();
  setWindowTitle(title.isEmpty() ? QString("Quillmarch Help")
                                 : QString("Quillmarch Help - %1").arg(title));
  // Keep the contents list on the page being read, whichever way it was reached.
  const QString page = QFileInfo(source.toLocalFile()).fileName();
  const QSignalBlocker quiet(ContentsList);
  ContentsList->clearSelection();
  for (int row = 0; row < ContentsList->count(); ++row) {
    QListWidgetItem* item = ContentsList->item(row);
    if (item->data(Qt::UserRole).toString() == page) {
      ContentsList->setCurrentItem(item);
      break;
    }
  }
}

}  // namespace qm
