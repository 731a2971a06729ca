list(APPEND QM_CORE_SOURCES
  src/output/image_export.cpp
  src/output/picture_writers.cpp
)
list(APPEND QM_UI_SOURCES
  src/output/export_commands.cpp
)
