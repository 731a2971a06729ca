list(APPEND QM_CORE_SOURCES
  src/editing/edit_outcome.cpp
  src/editing/editing_actions.cpp
  src/editing/editing_tools.cpp
  src/editing/effect_bar_table.cpp
  src/editing/effect_samples.cpp
  src/editing/smart_tool.cpp
  src/editing/tool_state.cpp
  src/editing/undo_clipboard.cpp
)
list(APPEND QM_UI_SOURCES
  src/editing/effect_bar.cpp
)
