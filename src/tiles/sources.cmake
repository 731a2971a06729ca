list(APPEND QM_CORE_SOURCES
  src/tiles/palette_layout.cpp
  src/tiles/png_image.cpp
  src/tiles/tileset.cpp
)
list(APPEND QM_UI_SOURCES
  src/tiles/palettes.cpp
  src/tiles/tile_palette.cpp
)
