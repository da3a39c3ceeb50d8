set(BRIMO_GUI_TESTS
  gui/gui_test_main.cpp
  gui/main_window_test.cpp
  gui/open_program_test.cpp
  gui/plot_view_test.cpp
  gui/dialogs_test.cpp
  gui/panels_test.cpp
)
