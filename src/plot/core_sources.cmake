set(BRIMO_PLOT_CORE_SOURCES
  src/plot/program_store.cpp
  src/plot/plot_geometry.cpp
  src/plot/toolpath.cpp
  src/plot/move_list.cpp
)
