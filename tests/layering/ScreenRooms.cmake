# The rooms of the screens layer: a file of a room (a folder under src/screens) includes only
# screens/common/, its own room and the layers below; common includes only itself. Screens.cpp at
# the top registers every room and may include them all. Run as
#   cmake -DSCREENS=<folder> -P ScreenRooms.cmake
# it names every include that crosses rooms and fails when there is one.
if(NOT SCREENS)
  message(FATAL_ERROR "SCREENS names the folder of the rooms")
endif()
file(GLOB_RECURSE files RELATIVE ${SCREENS} ${SCREENS}/*.h ${SCREENS}/*.cpp)
set(crossings 0)
foreach(f IN LISTS files)
  if(NOT f MATCHES "/")
    continue()
  endif()
  string(REGEX REPLACE "/.*" "" room "${f}")
  file(STRINGS ${SCREENS}/${f} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"screens/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"screens/([^\"]*)\".*" "\\1" header "${line}")
    string(REGEX REPLACE "/.*" "" target "${header}")
    if(NOT header MATCHES "/" OR NOT (target STREQUAL "common" OR target STREQUAL room))
      message("screens/${f} (room ${room}) includes screens/${header}")
      math(EXPR crossings "${crossings} + 1")
    endif()
  endforeach()
endforeach()
if(crossings GREATER 0)
  message(FATAL_ERROR "${crossings} includes cross the screens' rooms: open another room's screen by its "
                      "interface name (screens/common/ScreenInterfaces.h), or move what both use to screens/common")
endif()
message("The screens' rooms include only common/ and themselves")
