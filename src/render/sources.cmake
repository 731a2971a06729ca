list(APPEND QM_CORE_SOURCES
  src/render/cell_renderer.cpp
  src/render/image_drawing.cpp
  src/render/image_transforms.cpp
)
