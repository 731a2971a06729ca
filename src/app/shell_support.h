#pragma once
// What the small windows of the shell share: the version line the user sees and
// the placement of a window in the middle of its screen.
#include <QString>

class QWidget;

namespace qm {

// The one place the release is named; About and Check For Updates both show it.
inline constexpr const char* kProgramVersionText = "Quillmarch Pro - Version 1.2.0.0";

// Moves a window, before it is shown, to the middle of the screen its parent is on
// (the primary screen when it has no parent). Dialogs would otherwise open over
// the parent's corner or wherever the window manager likes.
void CentreOnScreen(QWidget* window);

// Shrinks a window that would not fit on its screen (a large text size or screen
// scale) to nine tenths of the screen's free area. Smaller windows stay as they are.
void FitOnScreen(QWidget* window);

// A path below the program directory, built with '/' as Qt wants it whatever the
// platform's separator is; Qt converts it where it meets the file system.
QString ProgramFile(const QString& program_dir, const QString& relative_path);

}  // namespace qm
