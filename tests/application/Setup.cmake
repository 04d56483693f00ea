# Tests of the setup: the Workspace port accessor and MIDI Thru.
dorvo2_add_test(application_setup_tests QT
    SOURCES
        PortAccessorTests.cpp
        SetupItemTests.cpp
        SetupTestSupport.h
        ThruScenario.h
        TUserMessageTests.cpp
    LIBS dorvo2_window
    TIMEOUT 180
)

# MIDI Thru through the fixture's JACK server.
dorvo2_add_test(application_thru_jack_tests QT
    SOURCES ThruJackTests.cpp SetupTestSupport.h ThruScenario.h
    LIBS dorvo2_window dorvo2_jack_test_client
    TIMEOUT 120
)
target_include_directories(application_thru_jack_tests
    PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform/winmm)
dorvo2_require_jackd(application_thru_jack_tests)

# The setup dialog alone and with its Workspace window.
dorvo2_add_test(application_setup_dialog_tests QT
    SOURCES
        SetupDialogTests.cpp
        SetupWindowTests.cpp
    LIBS dorvo2_window
    TIMEOUT 180
)
dorvo2_use_recording_component(application_setup_dialog_tests)

# Screenshots of the setup dialog's pages under Xvfb, kept in the build folder.
add_executable(dorvo2_setup_screenshots SetupScreenshots.cpp ScreenCapture.cpp ScreenCapture.h)
target_link_libraries(dorvo2_setup_screenshots PRIVATE dorvo2_window)
dorvo2_warnings(dorvo2_setup_screenshots)
dorvo2_add_test(application_setup_screenshot_tests QT
    SOURCES SetupScreenshotTests.cpp
    LIBS dorvo2_window
    TIMEOUT 180
)
dorvo2_use_recording_component(application_setup_screenshot_tests)
target_compile_definitions(application_setup_screenshot_tests PRIVATE
    DORVO2_SETUP_SCREENSHOT_HELPER="$<TARGET_FILE:dorvo2_setup_screenshots>"
    DORVO2_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots")
add_dependencies(application_setup_screenshot_tests dorvo2_setup_screenshots)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/screenshots)

# A real start opens the setup dialog unless a default Workspace of installed components is
# taken over; the start-up tests give theirs one.
dorvo2_use_recording_component(application_startup_tests)
