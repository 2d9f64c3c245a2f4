# The platform is chosen here and nowhere else. A folder with code of its own
# for a platform keeps it in a subfolder named after the platform (linux/,
# windows/) and adds it with varnock_add_platform_folder(); other folders ask
# VARNOCK_PLATFORM only to leave out what cannot run there.
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
