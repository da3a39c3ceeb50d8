# Toolkit-free logic of the operator panels (part of the core library).
set(BRIMO_CONSOLE_CORE_SOURCES
  src/core/control/operator_panels.cpp
)
