#include "app/shell_support.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qm {

void CentreOnScreen(QWidget* window) {
  const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  QScreen* screen = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  QRect frame = window->frameGeometry();
  frame.moveCenter(area.center());
  window->move(frame.topLeft());
}

QString ProgramFile(const QString& program_dir, const QString& relative_path) {
  return QDir(program_dir).filePath(relative_path);
}

}  // namespace qm
