list(APPEND QM_CORE_SOURCES
  src/script/engine/builtins.cpp
  src/script/engine/classes.cpp
  src/script/engine/compiler.cpp
  src/script/engine/engine.cpp
  src/script/engine/lexer.cpp
  src/script/engine/preprocessor.cpp
  src/script/engine/vm.cpp
)
