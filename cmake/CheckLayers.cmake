# Checks that each folder of the program includes headers only from itself and the folders
# below it. Run as a build step and as a test:
#   cmake -DROOT=<source root> [-DSTAMP=<file touched on success>] -P CheckLayers.cmake
# A folder not in the table (the tests but the simulator, benchmarks, resources) is not checked.

# folder | the folders its sources may include from, besides its own
set(layers
    "platform|"
    "platform/win32|platform"
    "tests/sim|platform"
    "dialog|platform"
    "ports|platform"
    "install|platform ports"
    "pages|platform dialog ports install resources"
    "cli|platform ports install"
    "app|platform platform/win32 dialog ports install pages cli resources"
    "msica|platform platform/win32 ports install cli")

cmake_minimum_required(VERSION 3.21)

if(NOT ROOT)
  message(FATAL_ERROR "CheckLayers: ROOT is not set")
endif()

set(violations "")
foreach(entry IN LISTS layers)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 folder)
  list(LENGTH parts n)
  set(allowed "${folder}")
  if(n GREATER 1)
    list(GET parts 1 below)
    string(REPLACE " " ";" below "${below}")
    list(APPEND allowed ${below})
  endif()
  file(GLOB sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      get_filename_component(dir "${header}" DIRECTORY)
      if(dir STREQUAL "")
        continue()
      endif()
      if(NOT dir IN_LIST allowed)
        file(RELATIVE_PATH rel "${ROOT}" "${source}")
        string(APPEND violations "\n  ${rel} includes ${header} (${folder}/ may use: ${allowed})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "A source includes a header of a folder above it:${violations}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
