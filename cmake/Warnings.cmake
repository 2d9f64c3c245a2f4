# One place for the warning set; every target of the project links this.
add_library(varnock_warnings INTERFACE)
if(MSVC)
    target_compile_options(varnock_warnings INTERFACE /W4 /permissive-)
else()
    target_compile_options(varnock_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
endif()
if(VARNOCK_WARNINGS_AS_ERRORS)
    target_compile_options(varnock_warnings INTERFACE $<IF:$<BOOL:${MSVC}>,/WX,-Werror>)
endif()
