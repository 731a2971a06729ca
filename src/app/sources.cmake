list(APPEND QM_UI_SOURCES
  src/app/qt_dialogs.cpp
  src/app/record_text.cpp
)
