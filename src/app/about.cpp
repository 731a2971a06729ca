#include "app/about.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell_support.h"

namespace qm {
namespace {

// The picture is a 6 x 5 patch of map cells; each letter is one cell.
//   # wall   . stone floor   ~ water   " grass   T tree   D door
constexpr int kColumns = 6;
constexpr int kRows = 5;
// clang-format off
constexpr const char* kPlan[kRows] = {
    "###D##",
    "#...\"T",
    "#...\"\"",
    "#..~~\"",
    "##~~~~",
};
// clang-format on
constexpr int kCell = 24;

void DrawCell(QPainter& p, char kind, const QRectF& r, int column, int row) {
  const QColor floor(178, 170, 152);
  switch (kind) {
    case '#': {
      p.fillRect(r, QColor(86, 80, 74));
      // Two courses of bricks, the upper one offset by half a brick.
      p.setPen(QPen(QColor(60, 55, 50), 1));
      const qreal half = r.height() / 2;
      p.drawLine(QPointF(r.left(), r.top() + half), QPointF(r.right(), r.top() + half));
      p.drawLine(QPointF(r.left() + r.width() / 2, r.top()),
                 QPointF(r.left() + r.width() / 2, r.top() + half));
      p.drawLine(QPointF(r.left() + 2, r.top() + half), QPointF(r.left() + 2, r.bottom()));
      break;
    }
    case '.': {
      p.fillRect(r, floor);
      // A few darker flecks so the floor reads as stone; placed by cell so the
      // pattern does not repeat from one cell to the next.
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(150, 142, 126));
      for (int i = 0; i < 3; ++i) {
        const int seed = (column * 7 + row * 13 + i * 5) % 17;
        const QPointF at(r.left() + 3 + (seed * 5) % 18, r.top() + 3 + (seed * 11) % 18);
        p.drawEllipse(at, 1.2, 1.2);
      }
      break;
    }
    case 'D':
      p.fillRect(r, floor);
      p.fillRect(r.adjusted(5, 2, -5, -2), QColor(122, 78, 40));
      p.setPen(QPen(QColor(80, 50, 24), 1));
      p.drawLine(QPointF(r.center().x(), r.top() + 2), QPointF(r.center().x(), r.bottom() - 2));
      p.setBrush(QColor(220, 190, 90));
      p.drawEllipse(QPointF(r.right() - 8, r.center().y()), 1.5, 1.5);
      break;
    case '~': {
      p.fillRect(r, QColor(58, 110, 170));
      p.setPen(QPen(QColor(150, 190, 230), 1.2));
      p.setBrush(Qt::NoBrush);
      for (int wave = 0; wave < 2; ++wave) {
        QPainterPath path;
        const qreal y = r.top() + 8 + wave * 9;
        path.moveTo(r.left() + 3, y);
        path.cubicTo(r.left() + 7, y - 3, r.left() + 11, y + 3, r.left() + 15, y);
        p.drawPath(path.translated((wave * 5) % 7, 0));
      }
      break;
    }
    case '"':
    case 'T':
      p.fillRect(r, QColor(96, 150, 70));
      if (kind == 'T') {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(100, 70, 40));
        p.drawRect(QRectF(r.center().x() - 1.5, r.center().y() + 2, 3, 8));
        p.setBrush(QColor(40, 96, 44));
        p.drawEllipse(QPointF(r.center().x(), r.center().y() - 1), 8, 7);
      } else {
        p.setPen(QPen(QColor(70, 120, 50), 1));
        p.drawLine(QPointF(r.left() + 6, r.bottom() - 6), QPointF(r.left() + 7, r.bottom() - 10));
        p.drawLine(QPointF(r.left() + 15, r.top() + 10), QPointF(r.left() + 16, r.top() + 6));
      }
      break;
  }
}

}  // namespace

AboutPicture::AboutPicture(QWidget* parent) : QWidget(parent) {
  setObjectName("ProgramIcon");
  setFixedSize(sizeHint());
}

QSize AboutPicture::sizeHint() const {
  return {kColumns * kCell + 1, kRows * kCell + 1};
}

void AboutPicture::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      const QRectF cell(column * kCell, row * kCell, kCell, kCell);
      p.save();
      p.setClipRect(cell);
      DrawCell(p, kPlan[row][column], cell, column, row);
      p.restore();
    }
  }
  // The editor's grid over the cells, and one selected cell outlined as the map
  // view outlines its selection.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor(0, 0, 0, 60), 1));
  for (int column = 0; column <= kColumns; ++column)
    p.drawLine(column * kCell, 0, column * kCell, kRows * kCell);
  for (int row = 0; row <= kRows; ++row) p.drawLine(0, row * kCell, kColumns * kCell, row * kCell);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(2 * kCell + 1, 2 * kCell + 1, kCell - 2, kCell - 2));
}

TcfAboutBox::TcfAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("cfAboutBox");
  setWindowTitle("About");

  ProgramIcon = new AboutPicture(this);
  Version = new QLabel(kProgramVersionText, this);
  Version->setObjectName("Version");
  Version->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText("OK");
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
  layout->addSpacing(fontMetrics().height() / 2);
  layout->addWidget(Version, 0, Qt::AlignHCenter);
  layout->addSpacing(fontMetrics().height() / 2);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TcfAboutBox::ShowModal(QWidget* parent) {
  TcfAboutBox box(parent);
  box.exec();
}

void TcfAboutBox::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace qm
