#pragma once
// The tips dialog (Ctrl+T): "Did you know..." and one tip at a time; "Next Tip"
// walks through them and starts again after the last one.
#include <QDialog>
#include <QString>
#include <array>

class QLabel;
class QPushButton;

namespace qm {

class Tips : public QDialog {
  Q_OBJECT

 public:
  // The tips exactly as users have always read them, spacing included.
  static constexpr int kTipCount = 8;
  static const std::array<const char*, kTipCount> kTips;

  explicit Tips(QWidget* parent = nullptr);

  // Runs the dialog modally, starting at the first tip.
  static void ShowModal(QWidget* parent);

  int CurrentTip() const { return current_; }
  QString CurrentTipText() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void NextTipClick();
  void ShowTip(int index);

  int current_ = 0;
  QLabel* Header = nullptr;
  QLabel* TipText = nullptr;
  QPushButton* NextTip = nullptr;
  QPushButton* CloseButton = nullptr;
};

}  // namespace qm
