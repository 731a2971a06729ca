# The pages the editor shows in HTML windows: "whatsnew.htm" beside the program and
# the help pages in its "help" folder. They are copied as they are; a page added to
# assets/help is picked up at the next configure.
file(GLOB QM_HELP_PAGES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/assets/help/*.htm
  ${CMAKE_SOURCE_DIR}/assets/help/*.css
  ${CMAKE_SOURCE_DIR}/assets/help/*.png)
foreach(page ${QM_HELP_PAGES})
  get_filename_component(name ${page} NAME)
  add_custom_command(
    OUTPUT ${QM_BIN_DIR}/help/${name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QM_BIN_DIR}/help
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page} ${QM_BIN_DIR}/help/${name}
    DEPENDS ${page}
    VERBATIM)
  list(APPEND QM_RUNTIME_FILES ${QM_BIN_DIR}/help/${name})
endforeach()

add_custom_command(
  OUTPUT ${QM_BIN_DIR}/whatsnew.htm
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/assets/whatsnew.htm
          ${QM_BIN_DIR}/whatsnew.htm
  DEPENDS ${CMAKE_SOURCE_DIR}/assets/whatsnew.htm
  VERBATIM)
list(APPEND QM_RUNTIME_FILES ${QM_BIN_DIR}/whatsnew.htm)
