list(APPEND QM_UI_SOURCES
  src/app/main_window.cpp
  src/app/qt_dialogs.cpp
  src/app/record_text.cpp
  src/app/tool_icons.cpp
)
