list(APPEND QM_CORE_SOURCES
  src/render/cell_renderer.cpp
  src/render/image_drawing.cpp
  src/render/image_transforms.cpp
  src/render/view_zoom.cpp
  src/render/area_renderer.cpp
)
# Per-pixel blending is the renderer's inner loop; let the compiler vectorise it.
set_source_files_properties(src/render/image_drawing.cpp PROPERTIES COMPILE_OPTIONS -O3)
list(APPEND QM_UI_SOURCES
  src/render/cell_pictures.cpp
  src/render/map_view.cpp
)
