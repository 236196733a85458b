# Run as a script by a test: fails when a source of LIBRARY includes, directly
# or through other headers, a file that matches one of the regular
# expressions FORBID (separated by '|', so they use no alternation of their
# own). A file of the source tree is matched by its path in the tree
# ("gcn/color.hpp"), any other file by its full path.
#
# The headers come from the dependency files the compiler wrote beside the
# objects (OBJECTS, separated by '^'), so the check sees exactly what the last
# build compiled. Their relative paths are taken from the first of
# WORKING_DIRS (separated by '^') where the file exists: the build tools
# compile in the target's or in the top build folder.
#
#   cmake -DLIBRARY=rnworld -DOBJECTS=a.o^b.o -DSOURCE_DIR=... -DWORKING_DIRS=...
#         -DFORBID=^gcn/|^src/ -P ZorCheckIncludes.cmake

foreach(var LIBRARY OBJECTS SOURCE_DIR WORKING_DIRS FORBID)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "ZorCheckIncludes.cmake needs -D${var}=...")
  endif()
endforeach()

string(REPLACE "^" ";" objects "${OBJECTS}")
string(REPLACE "^" ";" working_dirs "${WORKING_DIRS}")
string(REPLACE "|" ";" patterns "${FORBID}")
get_filename_component(source_dir "${SOURCE_DIR}" REALPATH)

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
foreach(object IN LISTS objects)
  set(depfile "${object}.d")
  if(NOT EXISTS "${depfile}")
    message(FATAL_ERROR "${depfile} is missing: build ${LIBRARY} first")
  endif()
  file(READ "${depfile}" text)
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
list(LENGTH objects count)
message(STATUS "${LIBRARY}: ${count} sources, none includes a forbidden header")
