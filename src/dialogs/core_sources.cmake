# Toolkit-free models of the dialogs (part of the core library).
set(BRIMO_DIALOGS_CORE_SOURCES
  src/dialogs/scale_factors.cpp
  src/dialogs/settings_apply.cpp
)
