list(APPEND QM_UI_SOURCES
  src/app/record_text.cpp
)
