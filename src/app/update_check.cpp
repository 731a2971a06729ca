#include "app/update_check.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/shell_support.h"

namespace qm {

UpdateCheckDialog::UpdateCheckDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("UpdateCheck");
  setWindowTitle("Check For Updates");

  auto* icon = new QLabel(this);
  const int icon_size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()
                      ->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this)
                      .pixmap(icon_size, icon_size));
  icon->setAlignment(Qt::AlignTop);

  auto* version = new QLabel(kProgramVersionText, this);
  version->setObjectName("Version");
  QFont bold = version->font();
  bold.setBold(true);
  version->setFont(bold);

  auto* message = new QLabel(
      "This copy of Quillmarch cannot check for updates: there is no update server "
      "for it, so nothing has been looked up.\n\n"
      "To update, install a newer release of Quillmarch when one is published.",
      this);
  message->setObjectName("Message");
  message->setWordWrap(true);
  message->setMinimumWidth(message->fontMetrics().averageCharWidth() * 52);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText("OK");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->addWidget(version);
  text->addWidget(message);
  auto* body = new QHBoxLayout;
  body->addWidget(icon);
  body->addLayout(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void UpdateCheckDialog::ShowModal(QWidget* parent) {
  UpdateCheckDialog dialog(parent);
  dialog.exec();
}

void UpdateCheckDialog::showEvent(QShowEvent* event) {
  CentreOnScreen(this);
  QDialog::showEvent(event);
}

}  // namespace qm
