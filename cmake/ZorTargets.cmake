# Helpers shared by the folder build files.

# Warnings are errors in our own code.
set(ZOR_WARNINGS -Wall -Wextra -Werror)

# Source paths in __FILE__ are relative to the source tree, so fatal checks
# name "dax2/dax_oid.cpp", not where the tree was checked out.
add_compile_options(-fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)

# zor_library(<name> <type> <dir>...): a library of every .cpp in the given
# folders, with the project root on the include path.
function(zor_library name type)
  set(sources)
  foreach(dir IN LISTS ARGN)
    file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${dir_sources})
  endforeach()
  if(NOT sources)
    # A folder whose code has not been written yet still gives a target.
    set(stub ${CMAKE_BINARY_DIR}/stub_${name}.cpp)
    file(WRITE ${stub} "namespace { [[maybe_unused]] int stub_${name}; }\n")
    set(sources ${stub})
  endif()
  add_library(${name} ${type} ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ZOR_WARNINGS})
endfunction()

# Environment of every test: message boxes go to stderr, never to a window.
set(ZOR_TEST_ENV "DAX_MSGBOX=stderr")
# In sanitizer builds the programs that open a window keep every check but the
# leak check: the system's GL driver leaks from modules it unloads again, so
# those reports name no code and cannot be told apart.
set(ZOR_DISPLAY_TEST_ENV ${ZOR_TEST_ENV} "ASAN_OPTIONS=detect_leaks=0")

# zor_tests(<name> DIR <folder under tests/> LIBS <libs>... [DISPLAY])
# One GoogleTest program of every .cpp in the folder. Headless programs are
# split into one CTest test per test case; a DISPLAY program runs as one CTest
# test under xvfb-run, alone: on a loaded machine the X server can be too slow
# for Allegro to see its new window mapped in time.
function(zor_tests name)
  cmake_parse_arguments(ZT "DISPLAY" "DIR;TIMEOUT" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${ZT_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  if(NOT ZT_TIMEOUT)
    set(ZT_TIMEOUT 120)
  endif()
  add_executable(${name} ${sources})
  target_compile_options(${name} PRIVATE ${ZOR_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ZT_LIBS} zor_testsupport GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    ZOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZOR_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(ZT_DISPLAY)
    find_program(XVFB_RUN xvfb-run REQUIRED)
    add_test(NAME ${name}
      COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES
      TIMEOUT ${ZT_TIMEOUT} LABELS display RUN_SERIAL TRUE
      ENVIRONMENT "${ZOR_DISPLAY_TEST_ENV}")
  else()
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${ZT_TIMEOUT} LABELS unit ENVIRONMENT "${ZOR_TEST_ENV}")
  endif()
endfunction()
