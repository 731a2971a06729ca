#include "editing/effect_bar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>
#include <optional>

#include "editing/effect_bar_table.h"
#include "editing/effect_samples.h"
#include "render/cell_pictures.h"

namespace qm {

namespace {

constexpr int kIconSize = 16;
constexpr int kButtonSize = 22;

// The picture of one effect at a size, framed so the cell's edges show where a
// placed or tiled tile sits in it.
QPixmap EffectPixmap(int code, int size) {
  QPixmap pixmap = QPixmap::fromImage(CellBufferImage(EffectSamplePicture(code, size)));
  QPainter painter(&pixmap);
  painter.setPen(QColor(128, 128, 128));
  painter.drawRect(0, 0, size - 1, size - 1);
  return pixmap;
}

QIcon EffectIcon(int code) {
  QIcon icon;
  // Drawn at one and two times the size, for normal and high-density screens.
  icon.addPixmap(EffectPixmap(code, kIconSize));
  QPixmap sharp = EffectPixmap(code, 2 * kIconSize);
  sharp.setDevicePixelRatio(2.0);
  icon.addPixmap(sharp);
  return icon;
}

}  // namespace

EffectBar::EffectBar(QWidget* parent) : QWidget(parent), group_(new QButtonGroup(this)) {
  setObjectName("EffectBar");
  group_->setExclusive(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  QHBoxLayout* rows[2] = {new QHBoxLayout, new QHBoxLayout};
  for (QHBoxLayout* row : rows) {
    row->setSpacing(0);
    layout->addLayout(row);
  }

  // A separator stands between neighbouring groups of a row.
  std::optional<EffectGroup> last_group[2];
  for (const EffectButton& entry : EffectBarButtons()) {
    QHBoxLayout* row = rows[entry.row];
    if (last_group[entry.row] && *last_group[entry.row] != entry.group) {
      auto* separator = new QFrame(this);
      separator->setFrameShape(QFrame::VLine);
      separator->setFrameShadow(QFrame::Sunken);
      row->addSpacing(3);
      row->addWidget(separator);
      row->addSpacing(3);
    }
    last_group[entry.row] = entry.group;

    auto* button = new QToolButton(this);
    button->setObjectName(
        QString::fromUtf8(entry.name.data(), static_cast<int>(entry.name.size())));
    const QString hint = QString::fromUtf8(entry.hint.data(), static_cast<int>(entry.hint.size()));
    button->setToolTip(hint.trimmed());
    button->setStatusTip(hint);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setIcon(EffectIcon(entry.code));
    button->setIconSize(QSize(kIconSize, kIconSize));
    button->setFixedSize(kButtonSize, kButtonSize);
    group_->addButton(button, entry.code);
    row->addWidget(button);
  }
  for (QHBoxLayout* row : rows) row->addStretch(1);
  SetCurrentEffect(kInitialEffect);
  connect(group_, &QButtonGroup::idClicked, this, &EffectBar::EffectChosen);
}

int EffectBar::CurrentEffect() const {
  return group_->checkedId();
}

bool EffectBar::SetCurrentEffect(int code) {
  QAbstractButton* button = group_->button(code);
  if (!button) return false;
  button->setChecked(true);
  return true;
}

QToolButton* EffectBar::Button(int code) const {
  return qobject_cast<QToolButton*>(group_->button(code));
}

}  // namespace qm
