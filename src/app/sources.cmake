list(APPEND QM_UI_SOURCES
  src/app/about.cpp
  src/app/help_window.cpp
  src/app/main_window.cpp
  src/app/qt_dialogs.cpp
  src/app/record_text.cpp
  src/app/shell_support.cpp
  src/app/splash.cpp
  src/app/tips.cpp
  src/app/tool_icons.cpp
  src/app/update_check.cpp
)
