# Setup: the Workspace's view of the MIDI ports with MIDI Thru, and the setup dialog's own item
# and event classes. The setup dialog itself belongs to the Workspace window's library.
add_library(dorvo2_setup STATIC
    TDocumentPortSection.cpp
    TDocumentPortSection.h
    TPortRemapping.cpp
    TPortRemapping.h
    TVirtualMIDIPortAccessor.cpp
    TVirtualMIDIPortAccessor.h
    forms/KeyPressEater.cpp
    forms/KeyPressEater.h
    forms/MidiPortsCheckListItem.cpp
    forms/MidiPortsCheckListItem.h
)
set_target_properties(dorvo2_setup PROPERTIES AUTOMOC ON)
target_include_directories(dorvo2_setup
    PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/forms)
target_link_libraries(dorvo2_setup PUBLIC dorvo2_application dorvo2_document Qt6::Widgets)
dorvo2_target(dorvo2_setup)
