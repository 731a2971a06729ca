#include "app/shell_support.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace qm {

namespace {

QScreen* ScreenOf(const QWidget* window) {
  const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  return anchor ? anchor->screen() : QGuiApplication::primaryScreen();
}

}  // namespace

void FitOnScreen(QWidget* window) {
  QScreen* screen = ScreenOf(window);
  if (!screen) return;
  const QSize room = screen->availableGeometry().size() * 0.9;
  const QSize size = window->size();
  if (size.width() > room.width() || size.height() > room.height())
    window->resize(size.boundedTo(room));
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = ScreenOf(window);
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
