set(BRIMO_MACHINE_TESTS
  machine_state_test.cpp
  step_engine_test.cpp
  switches_test.cpp
  config_file_test.cpp
  settings_form_test.cpp
  fuzz_regressions_test.cpp
)
