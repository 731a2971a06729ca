list(APPEND QM_CORE_SOURCES
  src/document/document_commands.cpp
  src/document/level_operations.cpp
  src/document/map_document.cpp
  src/document/map_file.cpp
  src/document/map_records.cpp
)
list(APPEND QM_UI_SOURCES
  src/document/levelpropedit.cpp
  src/document/mapsetedit.cpp
)
