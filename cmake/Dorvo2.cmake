# Build conventions shared by every target of the project.

set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

if(DORVO2_SANITIZER STREQUAL "address")
    # vptr checking is left out: components written in C have tables without type information,
    # and the host calls them through C++ interface declarations.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr
                        -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize=vptr)
elseif(DORVO2_SANITIZER STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT DORVO2_SANITIZER STREQUAL "")
    message(FATAL_ERROR "DORVO2_SANITIZER must be address, thread or empty")
endif()

# Warnings are errors in the project's own code.
function(dorvo2_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A library or program of the project's own.
function(dorvo2_target target)
    dorvo2_warnings(${target})
endfunction()

set(DORVO2_COMPONENT_MAP ${CMAKE_CURRENT_LIST_DIR}/../sdk/component.map)

# An in-process server: a shared library that exports exactly the four server functions and
# links nothing of the host but the platform library.
function(dorvo2_add_component target)
    cmake_parse_arguments(C "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${target} MODULE ${C_SOURCES})
    target_link_libraries(${target} PRIVATE dorvo2_sdk ${C_LIBS})
    target_link_options(${target} PRIVATE -Wl,--no-undefined
                        -Wl,--version-script=${DORVO2_COMPONENT_MAP})
    set_target_properties(${target} PROPERTIES PREFIX "lib" LINK_DEPENDS ${DORVO2_COMPONENT_MAP})
    dorvo2_warnings(${target})
endfunction()
