# Run as a script around the tests: the tests' temporary folder DIR made
# empty before them (MODE=setup), and afterwards (MODE=check) removed when
# nothing was left in it; else the check fails naming what was left, which
# stays there for a look until the next setup.
#
#   cmake -DMODE=setup|check -DDIR=... -P ZorTestTemp.cmake

foreach(var MODE DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ZorTestTemp.cmake needs -D${var}=...")
  endif()
endforeach()

if(MODE STREQUAL "setup")
  file(REMOVE_RECURSE ${DIR})
  file(MAKE_DIRECTORY ${DIR})
elseif(MODE STREQUAL "check")
  if(NOT IS_DIRECTORY ${DIR})
    message(FATAL_ERROR "the tests' temporary folder ${DIR} is gone")
  endif()
  file(GLOB left RELATIVE ${DIR} LIST_DIRECTORIES true ${DIR}/* ${DIR}/.*)
  if(left)
    list(REMOVE_DUPLICATES left)
    list(SORT left)
    list(LENGTH left count)
    string(REPLACE ";" "\n  " names "${left}")
    message(FATAL_ERROR "the tests left ${count} entries in their temporary folder ${DIR}:\n  ${names}")
  endif()
  file(REMOVE_RECURSE ${DIR})
else()
  message(FATAL_ERROR "ZorTestTemp.cmake: MODE is setup or check, not ${MODE}")
endif()
