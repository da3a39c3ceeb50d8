set(BRIMO_INTERPRETER_TESTS
  parser_test.cpp
)
