# The default maplet set, drawn by our own generator with the default tileset's
# tiles (looked up by name in the generated tileset file).
qm_asset_tool(qm_make_default_maplets maplets/default_maplets.cpp maplets/make_default_maplets.cpp)
add_custom_command(
  OUTPUT ${QM_BIN_DIR}/Maplets/default.set
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QM_BIN_DIR}/Maplets
  COMMAND qm_make_default_maplets ${QM_BIN_DIR}/Tilesets/default.qts
          ${QM_BIN_DIR}/Maplets/default.set
  DEPENDS qm_make_default_maplets ${QM_BIN_DIR}/Tilesets/default.qts
  COMMENT "Drawing the default maplet set"
  VERBATIM)
list(APPEND QM_RUNTIME_FILES ${QM_BIN_DIR}/Maplets/default.set)
