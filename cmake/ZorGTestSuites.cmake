# Run as a script after a GoogleTest program is built: writes OUT, a CTest
# file with one test per test suite of PROGRAM, named NAME.<suite> and run as
# PROGRAM --gtest_filter=<suite>.*, with the properties TIMEOUT, LABELS,
# ENVIRONMENT (entries separated by '|') and FIXTURES (FIXTURES_REQUIRED).
# Suites whose name matches the regular expression SLOW (when given) get
# SLOW_TIMEOUT, the label "slow" and a high COST (run first) besides.
#
#   cmake -DPROGRAM=... -DNAME=... -DOUT=... -DTIMEOUT=... -DLABELS=...
#         -DENVIRONMENT=... -DFIXTURES=... [-DSLOW=... -DSLOW_TIMEOUT=...]
#         -P ZorGTestSuites.cmake

foreach(var PROGRAM NAME OUT TIMEOUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ZorGTestSuites.cmake needs -D${var}=...")
  endif()
endforeach()

execute_process(
  COMMAND ${PROGRAM} --gtest_list_tests
  OUTPUT_VARIABLE listing
  ERROR_VARIABLE errors
  RESULT_VARIABLE result
  TIMEOUT 60)
if(NOT result EQUAL 0)
  file(REMOVE ${OUT})
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${result}):\n${listing}\n${errors}")
endif()

# Suite lines start in the first column and end the name with a dot
# ("Suite." or "Prefix/Suite/0.  # TypeParam = ..."); test case lines are
# indented. Other lines (gtest_main's greeting) have no such name.
string(REGEX MATCHALL "(^|\n)[A-Za-z_][A-Za-z0-9_/]*\\." found "${listing}")
set(suites)
foreach(entry IN LISTS found)
  string(REGEX REPLACE "^\n?(.*)\\.$" "\\1" suite "${entry}")
  list(APPEND suites ${suite})
endforeach()
list(REMOVE_DUPLICATES suites)

string(REPLACE "|" ";" environment "${ENVIRONMENT}")
set(text "# Written by cmake/ZorGTestSuites.cmake after ${NAME} was built.\n")
foreach(suite IN LISTS suites)
  set(timeout ${TIMEOUT})
  set(labels ${LABELS})
  set(cost 0)
  if(SLOW AND suite MATCHES "${SLOW}")
    set(timeout ${SLOW_TIMEOUT})
    list(APPEND labels slow)
    # Started first, so that a parallel run does not end waiting on them.
    set(cost 1000)
  endif()
  string(APPEND text
    "add_test([==[${NAME}.${suite}]==] [==[${PROGRAM}]==] [==[--gtest_filter=${suite}.*]==])\n"
    "set_tests_properties([==[${NAME}.${suite}]==] PROPERTIES TIMEOUT ${timeout}"
    " COST ${cost} LABELS [==[${labels}]==] ENVIRONMENT [==[${environment}]==]"
    " FIXTURES_REQUIRED [==[${FIXTURES}]==])\n")
endforeach()
if(NOT suites)
  string(APPEND text "add_test([==[${NAME}_HAS_NO_TESTS]==] [==[${NAME}_HAS_NO_TESTS]==])\n")
endif()
file(WRITE ${OUT} "${text}")
