# Headless simulation, run-time estimate, program check and pulse dump
# (toolkit-free; part of the core library).
set(BRIMO_SIM_SOURCES
  src/core/sim/direct_moves.cpp
  src/core/sim/program_check.cpp
  src/core/sim/sim_command_line.cpp
  src/core/sim/sim_engine.cpp
  src/core/sim/vcd_writer.cpp
)
