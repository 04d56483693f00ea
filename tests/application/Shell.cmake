# Tests of the application shell.
dorvo2_add_test(application_shell_tests QT
    SOURCES
        HandOverTests.cpp
        ImagesTests.cpp
        ManualLocationTests.cpp
        PreferencesTests.cpp
        ShellTestSupport.h
        WorkspaceWindowTests.cpp
    LIBS dorvo2_shell
)

# The real program, started as separate processes.
dorvo2_add_test(application_startup_tests QT
    SOURCES StartupProcessTests.cpp
    LIBS dorvo2_shell
    TIMEOUT 300
)
target_compile_definitions(application_startup_tests PRIVATE DORVO2_BINARY="$<TARGET_FILE:dorvo2>")
add_dependencies(application_startup_tests dorvo2)

# Screenshots of the real windows under Xvfb, kept in the build folder.
add_executable(dorvo2_shell_screenshots ShellScreenshots.cpp ScreenCapture.cpp ScreenCapture.h)
target_link_libraries(dorvo2_shell_screenshots PRIVATE dorvo2_shell)
dorvo2_warnings(dorvo2_shell_screenshots)
dorvo2_add_test(application_screenshot_tests QT
    SOURCES ScreenshotTests.cpp
    LIBS dorvo2_shell
    TIMEOUT 180
)
target_compile_definitions(application_screenshot_tests PRIVATE
    DORVO2_SCREENSHOT_HELPER="$<TARGET_FILE:dorvo2_shell_screenshots>"
    DORVO2_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots")
add_dependencies(application_screenshot_tests dorvo2_shell_screenshots)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/screenshots)

# The host object lists the machine's MIDI ports; the tests never depend on the machine's.
set_property(TEST application_shell_tests application_startup_tests application_screenshot_tests
             APPEND PROPERTY ENVIRONMENT "DORVO2_MIDI=virtual")

# Component hosting (the shell tests use its recording component too).
include(Hosting.cmake)
