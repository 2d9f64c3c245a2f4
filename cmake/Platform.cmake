# The platform and the window's toolkit are chosen here and nowhere else. A
# folder with code of its own for a platform keeps it in a subfolder named
# after the platform (linux/, windows/) and adds it with
# varnock_add_platform_folder(); other folders ask VARNOCK_PLATFORM only to
# leave out what cannot run there.
if(WIN32)
    set(VARNOCK_PLATFORM windows)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(VARNOCK_PLATFORM linux)
else()
    message(FATAL_ERROR "Varnock has no lookup for ${CMAKE_SYSTEM_NAME}")
endif()

# A macro rather than a function, so that what the subfolder sets for its
# parent (PARENT_SCOPE) reaches the folder that added it.
macro(varnock_add_platform_folder)
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${VARNOCK_PLATFORM}/CMakeLists.txt")
        add_subdirectory(${VARNOCK_PLATFORM})
    endif()
endmacro()

# The window's toolkit: the system's own controls on Windows (no runtime to
# deploy), Qt on Linux. A window folder keeps each toolkit's code in a
# subfolder of that name (qt/, windows/) and adds it with
# varnock_add_window_folder(), which leaves it out of a build without the
# window.
if(VARNOCK_PLATFORM STREQUAL "windows")
    set(VARNOCK_WINDOW_TOOLKIT windows)
else()
    set(VARNOCK_WINDOW_TOOLKIT qt)
endif()

macro(varnock_add_window_folder)
    if(VARNOCK_BUILD_WINDOW)
        add_subdirectory(${VARNOCK_WINDOW_TOOLKIT})
    endif()
endmacro()
