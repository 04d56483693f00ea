# The SysEx Librarian's .syx files, without widgets; the fuzz build includes this file as well.
add_library(dorvo2_syxfile STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SyxFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SyxFile.h
)
target_include_directories(dorvo2_syxfile PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(dorvo2_syxfile PUBLIC dorvo2_examples_formats)
dorvo2_warnings(dorvo2_syxfile)
