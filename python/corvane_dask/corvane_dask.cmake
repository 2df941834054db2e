# corvane-dask: runs `corvane convert` over web archives on a Dask cluster (Debian's
# python3-distributed). Installed beside the program, which it finds there; its tests run with Debian's
# own interpreter, which sees Debian's Python packages, and not in the sanitizer build, where a Python
# process would run sanitized code it cannot load.
if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python3 COMPONENTS Interpreter)

install(PROGRAMS ${CMAKE_CURRENT_LIST_DIR}/corvane-dask DESTINATION ${CMAKE_INSTALL_BINDIR})

if(CORVANE_BUILD_TESTS AND NOT CORVANE_SANITIZE AND Python3_Interpreter_FOUND)
  add_test(NAME corvane_dask
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/dask/test_corvane_dask.py -v)
  set_tests_properties(corvane_dask PROPERTIES
    ENVIRONMENT "CORVANE=$<TARGET_FILE:corvane>;CORVANE_DASK=${CMAKE_CURRENT_LIST_DIR}/corvane-dask;CORVANE_TEST_DATA_DIR=${PROJECT_SOURCE_DIR}/tests/data"
    TIMEOUT 120)
endif()
