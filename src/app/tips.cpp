#include "app/tips.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell_support.h"

namespace qm {

const std::array<const char*, Tips::kTipCount> Tips::kTips = {
    "You can press CTRL+R will generate a random map using the currently loaded Geoset.",
    "You can Load, Save and Create new Geosets using the Geoset option of the File Menu.  "
    "Geosets are collections of 12x12 tile maplets which are used by Quillmarch to generate "
    "random maps.",
    "You can use the Layer tool to place tiles on a specific layer. ",
    "You can use the Export Tiled Images option of the File menu to export extremely large "
    "graphic images as a series of smaller images, thus allowing the images to be generated on "
    "systems with less memory.",
    "You can use the smart tools (mountains, forest, water, swamp, etc) to quickly create "
    "forests, lakes and more with only a few mouse clicks.",
    "The tile palette may be adjusted to display more symbols on screen.",
    "Fill layer eight with a tile to cover the map, then remove tiles on this layer to reveal "
    "visited areas for your players.",
    "For best results use diagonal & wall tile effects should be used on square PNG tiles.",
};

namespace {

// The bulb beside the header, drawn so the dialog needs no picture file.
class BulbPicture : public QWidget {
 public:
  explicit BulbPicture(QWidget* parent) : QWidget(parent) { setFixedSize(40, 48); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 120, 20), 1.5));
    p.setBrush(QColor(255, 226, 90));
    p.drawEllipse(QRectF(6, 4, 28, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 246, 190));
    p.drawEllipse(QRectF(12, 9, 8, 8));
    p.setBrush(QColor(140, 140, 150));
    p.drawRoundedRect(QRectF(13, 31, 14, 11), 2, 2);
    p.setPen(QPen(QColor(90, 90, 100), 1));
    p.drawLine(QPointF(13, 35), QPointF(27, 35));
    p.drawLine(QPointF(13, 38.5), QPointF(27, 38.5));
  }
};

}  // namespace

Tips::Tips(QWidget* parent) : QDialog(parent) {
  setObjectName("Tips");
  setWindowTitle("Tips and Tricks");

  Header = new QLabel("Did you know...", this);
  Header->setObjectName("Header");
  QFont header_font = Header->font();
  header_font.setBold(true);
  header_font.setPointSizeF(header_font.pointSizeF() * 1.4);
  Header->setFont(header_font);

  TipText = new QLabel(this);
  TipText->setObjectName("TipText");
  TipText->setTextFormat(Qt::PlainText);
  TipText->setWordWrap(true);
  TipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const QFontMetrics metrics = TipText->fontMetrics();
  // Sized for the longest tip, so the dialog does not jump as the tips change.
  TipText->setFixedWidth(metrics.averageCharWidth() * 48);
  TipText->setMinimumHeight(metrics.lineSpacing() * 6);

  auto* page = new QFrame(this);
  page->setFrameShape(QFrame::StyledPanel);
  page->setBackgroundRole(QPalette::Base);
  page->setAutoFillBackground(true);
  auto* head = new QHBoxLayout;
  head->addWidget(new BulbPicture(page));
  head->addWidget(Header, 1);
  auto* page_layout = new QVBoxLayout(page);
  page_layout->addLayout(head);
  page_layout->addWidget(TipText, 1);

  NextTip = new QPushButton("&Next Tip", this);
  NextTip->setObjectName("NextTip");
  NextTip->setDefault(true);
  connect(NextTip, &QPushButton::clicked, this, &Tips::NextTipClick);
  CloseButton = new QPushButton("&Close", this);
  CloseButton->setObjectName("CloseButton");
  CloseButton->setAutoDefault(false);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(NextTip);
  buttons->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page, 1);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  ShowTip(0);
}

void Tips::ShowModal(QWidget* parent) {
  Tips tips(parent);
  tips.exec();
}

QString Tips::CurrentTipText() const {
  return QString::fromLatin1(kTips[current_]);
}

void Tips::ShowTip(int index) {
  current_ = index;
  TipText->setText(CurrentTipText());
}

void Tips::NextTipClick() {
  ShowTip((current_ + 1) % kTipCount);
}

void Tips::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace qm
