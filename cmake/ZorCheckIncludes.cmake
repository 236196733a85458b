# Run as a script by a test: fails when a source of LIBRARY includes, directly
# or through other headers, a file that matches one of the regular
# expressions FORBID (separated by '|', so they use no alternation of their
# own). A file of the source tree is matched by its path in the tree
# ("gcn/color.hpp"), any other file by its full path.
#
# The headers of each source come from the compiler (-M), run with the
# library's include folders and definitions:
#
#   cmake -DLIBRARY=rnworld -DSOURCES=a.cpp^b.cpp -DCOMPILER=c++ -DSTANDARD=-std=c++17
#         -DINCLUDES=dir^dir -DDEFINES=A=1^B -DSOURCE_DIR=... -DFORBID=^gcn/|^src/
#         -P ZorCheckIncludes.cmake
#
# or from dependency files a compiler wrote before (DEPFILES instead of
# SOURCES and the compiler settings; relative paths in them are taken from
# WORKING_DIRS). Lists are separated by '^'.

foreach(var LIBRARY SOURCE_DIR FORBID)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "ZorCheckIncludes.cmake needs -D${var}=...")
  endif()
endforeach()

string(REPLACE "|" ";" patterns "${FORBID}")
string(REPLACE "^" ";" working_dirs "${WORKING_DIRS}")
get_filename_component(source_dir "${SOURCE_DIR}" REALPATH)

# The dependency rules, one text per source.
set(rules)
if(DEFINED DEPFILES)
  string(REPLACE "^" ";" depfiles "${DEPFILES}")
  foreach(depfile IN LISTS depfiles)
    file(READ "${depfile}" text)
    list(APPEND rules "${text}")
  endforeach()
else()
  string(REPLACE "^" ";" sources "${SOURCES}")
  set(flags ${STANDARD})
  string(REPLACE "^" ";" includes "${INCLUDES}")
  foreach(dir IN LISTS includes)
    list(APPEND flags "-I${dir}")
  endforeach()
  string(REPLACE "^" ";" defines "${DEFINES}")
  foreach(define IN LISTS defines)
    list(APPEND flags "-D${define}")
  endforeach()
  foreach(source IN LISTS sources)
    execute_process(
      COMMAND ${COMPILER} ${flags} -M ${source}
      OUTPUT_VARIABLE text
      ERROR_VARIABLE errors
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "can't list the headers of ${source}:\n${errors}")
    endif()
    list(APPEND rules "${text}")
  endforeach()
endif()

# The name a dependency is matched by.
function(tree_name out file)
  set(path "${file}")
  if(NOT IS_ABSOLUTE "${file}")
    foreach(dir IN LISTS working_dirs)
      if(EXISTS "${dir}/${file}")
        set(path "${dir}/${file}")
        break()
      endif()
    endforeach()
  endif()
  get_filename_component(path "${path}" REALPATH)
  string(FIND "${path}" "${source_dir}/" at)
  if(at EQUAL 0)
    file(RELATIVE_PATH path "${source_dir}" "${path}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

set(found)
foreach(text IN LISTS rules)
  # One word per file: join continued lines, keep escaped blanks inside names.
  string(REPLACE "\\\n" " " text "${text}")
  string(REPLACE "\\ " "<blank>" text "${text}")
  string(REGEX MATCHALL "[^ \t\r\n]+" words "${text}")
  set(source "")
  foreach(word IN LISTS words)
    if(word MATCHES ":$")
      continue()  # the object the rule is for
    endif()
    string(REPLACE "<blank>" " " file "${word}")
    tree_name(name "${file}")
    if(source STREQUAL "")
      set(source "${name}")  # the first prerequisite is the source itself
      continue()
    endif()
    foreach(pattern IN LISTS patterns)
      if(name MATCHES "${pattern}")
        list(APPEND found "${source} reaches ${name}")
        break()
      endif()
    endforeach()
  endforeach()
endforeach()

if(found)
  list(REMOVE_DUPLICATES found)
  string(REPLACE ";" "\n  " lines "${found}")
  message(FATAL_ERROR "${LIBRARY} includes headers it must not use (directly or through another "
    "header; 'g++ -H' on the source shows the chain):\n  ${lines}\n"
    "See the libraries and their allowed dependencies in CONTRIBUTING.md.")
endif()
list(LENGTH rules count)
message(STATUS "${LIBRARY}: ${count} sources, none includes a forbidden header")
