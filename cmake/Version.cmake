# The forms of the program's version, all made from project(VERSION) in the
# top CMakeLists.txt, the one place it is written.
#
# VARNOCK_VERSION_TEXT        what the programs show and the version record's
#                             strings carry: the major number, a point and the
#                             minor number in two digits ("1.00" for 1.0.0),
#                             then ".PPPP" only for a patch ("1.02.0003").
# VARNOCK_VERSION_QUAD        the fixed version, "1.0.0.0".
# VARNOCK_VERSION_QUAD_COMMAS the same for a resource script, "1,0,0,0".
set(_minor "0${PROJECT_VERSION_MINOR}")
string(LENGTH "${_minor}" _length)
math(EXPR _start "${_length} - 2")
string(SUBSTRING "${_minor}" ${_start} 2 _minor)
if(PROJECT_VERSION_MINOR GREATER 99)
    message(FATAL_ERROR "A minor version above 99 has no two-digit form")
endif()
set(VARNOCK_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${_minor}")
if(PROJECT_VERSION_PATCH GREATER 0)
    set(_patch "000${PROJECT_VERSION_PATCH}")
    string(LENGTH "${_patch}" _length)
    math(EXPR _start "${_length} - 4")
    string(SUBSTRING "${_patch}" ${_start} 4 _patch)
    string(APPEND VARNOCK_VERSION_TEXT ".${_patch}")
endif()
set(VARNOCK_VERSION_QUAD
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
string(REPLACE "." "," VARNOCK_VERSION_QUAD_COMMAS "${VARNOCK_VERSION_QUAD}")
unset(_minor)
unset(_patch)
unset(_length)
unset(_start)
