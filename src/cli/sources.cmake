list(APPEND QM_CLI_SOURCES
  src/cli/cli_support.cpp
  src/cli/cmd_export.cpp
  src/cli/cmd_map.cpp
  src/cli/cmd_run.cpp
  src/cli/cmd_maplets.cpp
  src/cli/cmd_tileset.cpp
  src/cli/commands.cpp
  src/cli/qmtool.cpp
)
