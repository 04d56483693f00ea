# Tests of the setup: the Workspace port accessor and MIDI Thru.
dorvo2_add_test(application_setup_tests QT
    SOURCES
        PortAccessorTests.cpp
        SetupItemTests.cpp
        SetupTestSupport.h
        ThruScenario.h
    LIBS dorvo2_setup
    TIMEOUT 180
)

# MIDI Thru through the fixture's JACK server.
dorvo2_add_test(application_thru_jack_tests QT
    SOURCES ThruJackTests.cpp SetupTestSupport.h ThruScenario.h
    LIBS dorvo2_setup dorvo2_jack_test_client
    TIMEOUT 120
)
target_include_directories(application_thru_jack_tests
    PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform/winmm)
dorvo2_require_jackd(application_thru_jack_tests)
