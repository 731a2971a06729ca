list(APPEND QM_CORE_SOURCES
  src/maplets/maplet_set.cpp
  src/maplets/maplet_set_commands.cpp
  src/maplets/random_level.cpp
  src/maplets/random_source.cpp
)
list(APPEND QM_UI_SOURCES
  src/maplets/geoedit.cpp
)
