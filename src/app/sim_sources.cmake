# Headless simulation, run-time estimate, program check and pulse dump
# (toolkit-free; part of the core library).
set(BRIMO_SIM_SOURCES
  src/app/direct_moves.cpp
  src/app/program_check.cpp
  src/app/sim_command_line.cpp
  src/app/sim_engine.cpp
  src/app/vcd_writer.cpp
)
