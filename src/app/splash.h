#pragma once
// The What's New window: shown once when the editor starts and again from Help,
// Whats New. It reads "whatsnew.htm" from the program directory every time it is
// shown, so an update that replaces the file is seen without a restart.
#include <QDialog>
#include <QString>

class QPushButton;
class QTextBrowser;

namespace qm {

class TSplashForm : public QDialog {
  Q_OBJECT

 public:
  TSplashForm(const QString& program_dir, QWidget* parent = nullptr);

  // Shows the window modally over the parent; returns when the user continues.
  static void ShowModal(QWidget* parent, const QString& program_dir);

  // Reads "whatsnew.htm" again. A missing or unreadable file leaves the view empty:
  // the page is a courtesy, its absence is nothing the user must act on.
  void LoadWhatsNew();

  QString WhatsNewPath() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void UpdateClick();

  QString program_dir_;
  QTextBrowser* HTMLViewer = nullptr;
  QPushButton* Update = nullptr;
  QPushButton* Continue = nullptr;
};

}  // namespace qm
