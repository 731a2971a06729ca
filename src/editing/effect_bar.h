#pragma once
// The effect bar `EffectBar`: 49 grouped check buttons in two rows, exactly one
// down. A button only chooses the effect code later drawing uses.
#include <QButtonGroup>
#include <QToolButton>
#include <QWidget>

namespace qm {

class EffectBar : public QWidget {
  Q_OBJECT

 public:
  explicit EffectBar(QWidget* parent = nullptr);

  int CurrentEffect() const;
  // Presses the button of `code` (no signal); false for a code no button gives.
  bool SetCurrentEffect(int code);
  QToolButton* Button(int code) const;

 signals:
  void EffectChosen(int code);

 private:
  QButtonGroup* group_;
};

}  // namespace qm
