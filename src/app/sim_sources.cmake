# Headless simulation, run-time estimate, program check and pulse dump
# (toolkit-free; part of the core library).
set(BRIMO_SIM_SOURCES
  src/app/direct_moves.cpp
  src/app/simulate.cpp
  src/app/vcd_writer.cpp
)
