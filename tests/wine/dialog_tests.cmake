# The settings dialog driven under Wine by a test program that is its host.
if(NOT TARGET gtest)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The win32 thread model has no std::mutex; the one class that needs it
  # only serves the framework's own tests.
  target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
  target_compile_options(gtest PUBLIC -include ${CMAKE_CURRENT_LIST_DIR}/gtest_notification_shim.h)
endif()
add_executable(pg_dialog_wine_tests ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp)
target_link_libraries(pg_dialog_wine_tests PRIVATE pg_core gtest comctl32)
target_link_options(pg_dialog_wine_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/dialog_tests.def)
add_dependencies(pg_dialog_wine_tests parallelogram)
add_test(NAME wine_dialog
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run-dialog-tests.sh
                 $<TARGET_FILE:pg_dialog_wine_tests> $<TARGET_FILE:parallelogram>)
set_tests_properties(wine_dialog PROPERTIES TIMEOUT 600)
