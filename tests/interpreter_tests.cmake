set(BRIMO_INTERPRETER_TESTS
  parser_test.cpp
  dispatch_test.cpp
  arc_test.cpp
  drill_test.cpp
)
