# Helpers shared by the folder build files.

# The one warnings setting of every target in the project: warnings are
# errors in our own code. -Wnon-virtual-dtor keeps a polymorphic class from
# being deleted through a base whose destructor is neither virtual nor
# protected.
add_compile_options(-Wall -Wextra -Werror $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)

# Source paths in __FILE__ are relative to the source tree, so fatal checks
# name "dax2/dax_oid.cpp", not where the tree was checked out.
add_compile_options(-fmacro-prefix-map=${CMAKE_SOURCE_DIR}/=)

# A compiler cache when one is installed and no launcher was chosen (on the
# command line or through the CMAKE_CXX_COMPILER_LAUNCHER environment
# variable); -DZOR_CCACHE=OFF builds without it.
option(ZOR_CCACHE "Compile through ccache when it is installed" ON)
if(ZOR_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(ZOR_CCACHE_PROGRAM ccache)
  if(ZOR_CCACHE_PROGRAM)
    set(CMAKE_C_COMPILER_LAUNCHER ${ZOR_CCACHE_PROGRAM})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${ZOR_CCACHE_PROGRAM})
  endif()
endif()

# zor_folder_library(<name> <dir>...): a static library of every .cpp in the
# given folders, for the folders that hold one library each (gcn, al5gcn).
function(zor_folder_library name)
  set(sources)
  foreach(dir IN LISTS ARGN)
    file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${dir_sources})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# zor_check_folder_sources(<dir> <target>...): every .cpp of the folder
# belongs to exactly one of the targets (for folders that hold more than one
# library and list their files). A file in none or in two stops the
# configuration with a message that says where to add it.
function(zor_check_folder_sources dir)
  file(GLOB on_disk CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  set(listed)
  foreach(target IN LISTS ARGN)
    get_target_property(target_sources ${target} SOURCES)
    get_target_property(target_dir ${target} SOURCE_DIR)
    foreach(src IN LISTS target_sources)
      get_filename_component(src ${src} ABSOLUTE BASE_DIR ${target_dir})
      if(src MATCHES "\\.cpp$")
        if(src IN_LIST listed)
          message(FATAL_ERROR "${src} is listed in two libraries; keep it in one")
        endif()
        list(APPEND listed ${src})
      endif()
    endforeach()
  endforeach()
  foreach(src IN LISTS on_disk)
    if(NOT src IN_LIST listed)
      string(REPLACE ";" ", " names "${ARGN}")
      message(FATAL_ERROR "${src} is in no library: add it to the source list of one of "
        "${names} in ${dir}/CMakeLists.txt (CONTRIBUTING.md says which one)")
    endif()
  endforeach()
endfunction()

# zor_check_includes(<test name> TARGET <library> FORBID <regex>...): a test
# that fails when a source of the library includes, directly or through
# other headers, a file that matches one of the regular expressions (each
# without '|'): a file of the source tree by its path in the tree
# ("^gcn/"), any other file by its full path ("/allegro_ttf\\.h$"). The
# test asks the compiler for each source's headers with the library's own
# include folders and definitions, so it needs no build and works with any
# generator.
function(zor_check_includes test_name)
  cmake_parse_arguments(ZC "" "TARGET" "FORBID" ${ARGN})
  string(JOIN "|" forbid ${ZC_FORBID})
  get_target_property(target_sources ${ZC_TARGET} SOURCES)
  get_target_property(target_dir ${ZC_TARGET} SOURCE_DIR)
  set(sources)
  foreach(src IN LISTS target_sources)
    if(src MATCHES "\\.cpp$")
      get_filename_component(src ${src} ABSOLUTE BASE_DIR ${target_dir})
      list(APPEND sources ${src})
    endif()
  endforeach()
  string(JOIN "^" sources ${sources})
  set(includes "$<TARGET_PROPERTY:${ZC_TARGET},INCLUDE_DIRECTORIES>")
  set(defines "$<TARGET_PROPERTY:${ZC_TARGET},COMPILE_DEFINITIONS>")
  add_test(NAME ${test_name}
    COMMAND ${CMAKE_COMMAND}
      -DLIBRARY=${ZC_TARGET}
      "-DSOURCES=${sources}"
      "-DCOMPILER=${CMAKE_CXX_COMPILER}"
      "-DSTANDARD=${CMAKE_CXX17_STANDARD_COMPILE_OPTION}"
      "-DINCLUDES=$<JOIN:${includes},^>"
      "-DDEFINES=$<JOIN:${defines},^>"
      -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
      "-DFORBID=${forbid}"
      -P ${CMAKE_SOURCE_DIR}/cmake/ZorCheckIncludes.cmake)
  set_tests_properties(${test_name} PROPERTIES LABELS unit)
endfunction()

# Environment of every test: message boxes go to stderr, never to a window,
# and temporary files go to a folder of the build's own (ZOR_TEST_TEMP),
# which the fixture ZOR_TEST_FIXTURE makes empty before the tests and checks
# after them: a run that leaves anything there fails (tests/CMakeLists.txt).
# Every test of the environment requires the fixture. The folder lies in the
# system's temporary folder under a short name made of the build folder's:
# Lua shortens the file names in its messages to 52 characters, and the
# tests read files of their temporary folders in those messages.
set(zor_temp_base /tmp)
if(DEFINED ENV{TMPDIR} AND NOT "$ENV{TMPDIR}" STREQUAL "")
  set(zor_temp_base $ENV{TMPDIR})
endif()
string(MD5 zor_build_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${zor_build_hash}" 0 8 zor_build_hash)
set(ZOR_TEST_TEMP ${zor_temp_base}/zt-${zor_build_hash})
set(ZOR_TEST_FIXTURE temp_folder)
set(ZOR_TEST_ENV "DAX_MSGBOX=stderr" "TMPDIR=${ZOR_TEST_TEMP}")
# In sanitizer builds the programs that open a window keep every check but the
# leak check: the system's GL driver leaks from modules it unloads again, so
# those reports name no code and cannot be told apart.
set(ZOR_DISPLAY_TEST_ENV ${ZOR_TEST_ENV} "ASAN_OPTIONS=detect_leaks=0")

# zor_tests(<name> DIR <folder under tests/> LIBS <libs>... [DISPLAY] [TIMEOUT <s>]
#           [SLOW <regex> SLOW_TIMEOUT <s>])
# One GoogleTest program of every .cpp in the folder.
#
# A headless program becomes one CTest test per test suite, found after each
# build (cmake/ZorGTestSuites.cmake): starting a process per test case cost
# more than the cases themselves, above all in the sanitizer build, while a
# suite per process keeps the tests spread over the cores and a failure
# named. TIMEOUT (default 120 s) bounds each suite, so a hang still ends.
# Suites matching SLOW play towns for weeks: they get SLOW_TIMEOUT instead
# and the label "slow" (ctest -LE slow leaves them out while working).
#
# A DISPLAY program runs as one CTest test under xvfb-run, alone: on a loaded
# machine the X server can be too slow for Allegro to see its new window
# mapped in time.
function(zor_tests name)
  cmake_parse_arguments(ZT "DISPLAY" "DIR;TIMEOUT;SLOW;SLOW_TIMEOUT" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${ZT_DIR}/*.cpp)
  if(NOT ZT_TIMEOUT)
    set(ZT_TIMEOUT 120)
  endif()
  add_executable(${name} ${sources})
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
      ENVIRONMENT "${ZOR_DISPLAY_TEST_ENV}" FIXTURES_REQUIRED ${ZOR_TEST_FIXTURE})
  else()
    set(suites_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.cmake)
    string(JOIN "|" environment ${ZOR_TEST_ENV})
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND}
        -DPROGRAM=$<TARGET_FILE:${name}> -DNAME=${name} -DOUT=${suites_file}
        -DTIMEOUT=${ZT_TIMEOUT} -DLABELS=unit "-DENVIRONMENT=${environment}"
        "-DSLOW=${ZT_SLOW}" -DSLOW_TIMEOUT=${ZT_SLOW_TIMEOUT}
        -DFIXTURES=${ZOR_TEST_FIXTURE}
        -P ${CMAKE_SOURCE_DIR}/cmake/ZorGTestSuites.cmake
      BYPRODUCTS ${suites_file}
      VERBATIM)
    # CTest reads the suites of the last build; a program not built yet shows
    # as one failing test instead of none.
    set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake)
    file(WRITE ${include_file}
      "if(EXISTS \"${suites_file}\")\n"
      "  include(\"${suites_file}\")\n"
      "else()\n"
      "  add_test(${name}_NOT_BUILT ${name}_NOT_BUILT)\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
  endif()
endfunction()
