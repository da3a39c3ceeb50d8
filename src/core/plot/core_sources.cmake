set(BRIMO_PLOT_CORE_SOURCES
  src/core/program/program_store.cpp
  src/core/plot/plot_geometry.cpp
  src/core/plot/toolpath.cpp
  src/core/plot/move_list.cpp
)
