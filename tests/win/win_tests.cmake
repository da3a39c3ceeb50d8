# Windows only: the InpOut32 port backend against stand-in DLLs. The
# recording stand-in is inpoutx64.dll beside the test executables; the one
# without Out32/Inp32 has the same name in a folder of its own. MODULE: no
# import library (nothing links against them; the backend loads them).
add_library(brimo_inpout_standin MODULE win/inpout_standin.cpp)
add_library(brimo_inpout_noexports MODULE win/inpout_noexports.cpp)
target_include_directories(brimo_inpout_standin PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_target_properties(brimo_inpout_standin PROPERTIES PREFIX "" OUTPUT_NAME inpoutx64
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set_target_properties(brimo_inpout_noexports PROPERTIES PREFIX "" OUTPUT_NAME inpoutx64
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/inpout_noexports)

add_executable(brimo_windows_port_tests win/port_windows_test.cpp)
target_link_libraries(brimo_windows_port_tests PRIVATE brimo_test_support)
add_dependencies(brimo_windows_port_tests brimo_inpout_standin brimo_inpout_noexports)
gtest_discover_tests(brimo_windows_port_tests DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
