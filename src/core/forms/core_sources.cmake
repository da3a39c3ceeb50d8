# Toolkit-free models of the dialogs (part of the core library).
set(BRIMO_DIALOGS_CORE_SOURCES
  src/core/forms/scale_factors.cpp
  src/core/forms/settings_apply.cpp
)
