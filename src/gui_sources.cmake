set(BRIMO_GUI_SOURCES
  src/console/main_window.cpp
)
