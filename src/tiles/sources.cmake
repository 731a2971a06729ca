list(APPEND QM_CORE_SOURCES
  src/tiles/png_image.cpp
  src/tiles/tileset.cpp
)
