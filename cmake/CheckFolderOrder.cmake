# The include half of the folder order, run as the test folder_order:
#   cmake -DSOMNEX_MAP=<build>/folder-order.cmake -P cmake/CheckFolderOrder.cmake
# Every #include "x/y.h" of a library's or a program's files that names one of
# our headers (below src/, or below the project for the tools) must name a
# header of the unit itself or of a library it links. A header that belongs to
# no library is a fault too.

cmake_minimum_required(VERSION 3.25)
include("${SOMNEX_MAP}")

# The unit each of our files belongs to.
foreach(unit IN LISTS SOMNEX_UNITS)
  foreach(f IN LISTS SOMNEX_FILES_${unit})
    set("OWNER_${f}" ${unit})
  endforeach()
endforeach()

set(faults "")
set(checked 0)
foreach(unit IN LISTS SOMNEX_UNITS)
  foreach(f IN LISTS SOMNEX_FILES_${unit})
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${line}")
      set(path "")
      foreach(base "${SOMNEX_ROOT}/src" "${SOMNEX_ROOT}")
        if(EXISTS "${base}/${header}" AND NOT IS_DIRECTORY "${base}/${header}")
          set(path "${base}/${header}")
          break()
        endif()
      endforeach()
      if(path STREQUAL "")
        continue() # not one of ours (a generated or a third-party header)
      endif()
      file(RELATIVE_PATH rel "${SOMNEX_ROOT}" "${f}")
      if(NOT DEFINED "OWNER_${path}")
        list(APPEND faults "${rel} includes \"${header}\", which belongs to no library")
        continue()
      endif()
      set(owner "${OWNER_${path}}")
      if(NOT owner IN_LIST SOMNEX_ALLOWED_${unit})
        list(APPEND faults "${rel} (${unit}) includes \"${header}\" of ${owner}, which ${unit} does not link")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(LENGTH faults n)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "${n} includes break the folder order:\n  ${text}")
endif()
message(STATUS "folder order kept: ${checked} files checked")
