# The Demo Synth's parameters and the messages of its protocol (PROTOCOL.md), without widgets;
# the fuzz build includes this file as well.
add_library(dorvo2_demosynth_protocol STATIC
    ${CMAKE_CURRENT_LIST_DIR}/DemoSynthMessages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DemoSynthMessages.h
    ${CMAKE_CURRENT_LIST_DIR}/DemoSynthParameters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DemoSynthParameters.h
)
target_include_directories(dorvo2_demosynth_protocol PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(dorvo2_demosynth_protocol PUBLIC dorvo2_examples_formats)
dorvo2_warnings(dorvo2_demosynth_protocol)
