#pragma once
// Help, Check For Updates. Quillmarch has no update server, so this dialog tells
// the user which version is running and that updates have to be fetched by hand;
// it never pretends to have looked anywhere.
#include <QDialog>

class QLabel;

namespace qm {

class UpdateCheckDialog : public QDialog {
  Q_OBJECT

 public:
  explicit UpdateCheckDialog(QWidget* parent = nullptr);

  // Runs the dialog modally over the parent and returns when the user closes it.
  static void ShowModal(QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace qm
