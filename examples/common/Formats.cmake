# The readers of outside bytes that the examples share and that need no widgets: the frame of a
# saved state and system-exclusive bytes in text. The fuzz build includes this file as well.
add_library(dorvo2_examples_formats STATIC
    ${CMAKE_CURRENT_LIST_DIR}/StateFormat.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StateFormat.h
    ${CMAKE_CURRENT_LIST_DIR}/SysexBytes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SysexBytes.h
)
target_include_directories(dorvo2_examples_formats PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(dorvo2_examples_formats PUBLIC dorvo2_sdk_headers Qt6::Core)
dorvo2_warnings(dorvo2_examples_formats)
