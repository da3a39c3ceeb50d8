set(BRIMO_INTERPRETER_SOURCES
  src/interpreter/parser.cpp
  src/interpreter/dispatch.cpp
  src/interpreter/arc.cpp
  src/interpreter/drill.cpp
  src/interpreter/run_control.cpp
  src/interpreter/preview.cpp
)
