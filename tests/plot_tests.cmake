set(BRIMO_PLOT_TESTS
  program_store_test.cpp
  plot_geometry_test.cpp
  toolpath_test.cpp
)
