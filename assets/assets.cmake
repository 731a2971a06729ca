# Run-time files of the program directory (build/bin), made or copied at build time.
# Each producer appends its outputs to QM_RUNTIME_FILES; one target that the default
# build depends on makes them all.
set(QM_RUNTIME_FILES)

# Build-time tools live outside build/bin: that directory is the program directory
# users get, and the generators are not part of it.
set(QM_ASSET_TOOL_DIR ${CMAKE_BINARY_DIR}/asset-tools)

# A generator of run-time files: a program on the core library, built into the
# tool directory. Sources are given relative to assets/.
function(qm_asset_tool name)
  list(TRANSFORM ARGN PREPEND ${CMAKE_SOURCE_DIR}/assets/)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE qmcore)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QM_ASSET_TOOL_DIR})
endfunction()

# The default tileset, drawn by our own generator.
qm_asset_tool(qm_make_default_tileset
  tileset/canvas.cpp tileset/default_tiles.cpp tileset/make_default_tileset.cpp)
add_custom_command(
  OUTPUT ${QM_BIN_DIR}/Tilesets/default.qts
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QM_BIN_DIR}/Tilesets
  COMMAND qm_make_default_tileset ${QM_BIN_DIR}/Tilesets/default.qts
  DEPENDS qm_make_default_tileset
  COMMENT "Drawing the default tileset"
  VERBATIM)
list(APPEND QM_RUNTIME_FILES ${QM_BIN_DIR}/Tilesets/default.qts)

include(${CMAKE_SOURCE_DIR}/assets/help/help.cmake)
include(${CMAKE_SOURCE_DIR}/assets/maplets/maplets.cmake)

add_custom_target(qm_runtime_files ALL DEPENDS ${QM_RUNTIME_FILES})
