#pragma once
// Help, About...: a small picture of a map, the version line and "OK".
#include <QDialog>
#include <QWidget>

class QLabel;

namespace qm {

// A little dungeon corner drawn in code, so the About box needs no picture file
// and stays sharp at any screen scale.
class AboutPicture : public QWidget {
  Q_OBJECT

 public:
  explicit AboutPicture(QWidget* parent = nullptr);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class TcfAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TcfAboutBox(QWidget* parent = nullptr);

  static void ShowModal(QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  AboutPicture* ProgramIcon = nullptr;
  QLabel* Version = nullptr;
};

}  // namespace qm
