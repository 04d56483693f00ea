# Tests of workspace documents: the format alone, and documents of the Workspace window.
dorvo2_add_test(application_document_format_tests
    SOURCES DocumentFormatTests.cpp DocumentBytes.h
    LIBS dorvo2_document
)

dorvo2_add_test(application_document_tests QT
    SOURCES DocumentWindowTests.cpp DocumentBytes.h
    LIBS dorvo2_window
    TIMEOUT 180
)
dorvo2_use_recording_component(application_document_tests)
