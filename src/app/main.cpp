// The editor's program entry: the session first, then the windows, then the
// message loop until the main window closes.
#include <QApplication>
#include <QDir>

#include "app/editor_session.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Quillmarch");
  qm::EditorSession session(
      QDir::toNativeSeparators(QApplication::applicationDirPath()).toStdString());
  qm::Twinviewform window(session);
  window.show();
  return QApplication::exec();
}
