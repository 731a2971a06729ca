#include "app/splash.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/shell_support.h"
#include "app/update_check.h"

namespace qm {

TSplashForm::TSplashForm(const QString& program_dir, QWidget* parent)
    : QDialog(parent), program_dir_(program_dir) {
  setObjectName("SplashForm");
  setWindowTitle("Whats New");
  // A tool window with a title but no buttons on it: the user leaves through
  // "Continue" (or Escape), never by closing the frame.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  HTMLViewer = new QTextBrowser(this);
  HTMLViewer->setObjectName("HTMLViewer");
  HTMLViewer->setOpenExternalLinks(true);

  Update = new QPushButton("Update", this);
  Update->setObjectName("Update");
  Update->setToolTip("Check For Updates");
  Update->setStatusTip("Check For Updates");
  Update->setAutoDefault(false);
  connect(Update, &QPushButton::clicked, this, &TSplashForm::UpdateClick);

  Continue = new QPushButton("Continue", this);
  Continue->setObjectName("Continue");
  Continue->setDefault(true);
  connect(Continue, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Update);
  buttons->addWidget(Continue);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(HTMLViewer, 1);
  layout->addLayout(buttons);

  const int em = fontMetrics().averageCharWidth();
  resize(em * 88, fontMetrics().height() * 34);
}

void TSplashForm::ShowModal(QWidget* parent, const QString& program_dir) {
  TSplashForm form(program_dir, parent);
  form.exec();
}

QString TSplashForm::WhatsNewPath() const {
  return ProgramFile(program_dir_, "whatsnew.htm");
}

void TSplashForm::LoadWhatsNew() {
  QFile file(WhatsNewPath());
  if (!file.open(QIODevice::ReadOnly)) {
    HTMLViewer->clear();
    return;
  }
  const QByteArray bytes = file.readAll();
  // The page may carry its own charset; without one it is taken as UTF-8.
  QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
  const QString html = decoder.isValid() ? decoder.decode(bytes) : QString::fromUtf8(bytes);
  // Pictures and style sheets the page names are looked up beside it.
  HTMLViewer->setSearchPaths({program_dir_});
  HTMLViewer->setHtml(html);
}

void TSplashForm::showEvent(QShowEvent* event) {
  LoadWhatsNew();
  FitOnScreen(this);
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

void TSplashForm::UpdateClick() {
  UpdateCheckDialog::ShowModal(this);
  LoadWhatsNew();
}

}  // namespace qm
