# Tests of component hosting: the catalogue, the editor wrapper, the Workspace's contents and
# progress reports, against a test component that records every call the host makes.
dorvo2_add_component(dorvo2_recording_component SOURCES RecordingComponent.cpp LIBS Qt6::Widgets)

# The program registers the recording component in its own temporary registry. Usable from
# any test folder.
function(dorvo2_use_recording_component target)
    set(support ${PROJECT_SOURCE_DIR}/tests/application)
    target_sources(${target} PRIVATE ${support}/HostingTestSupport.cpp
                   ${support}/HostingTestSupport.h ${support}/RecordingComponent.h
                   ${PROJECT_SOURCE_DIR}/tests/platform/com/ComTestSupport.cpp)
    target_include_directories(${target} PRIVATE ${support} ${PROJECT_SOURCE_DIR}/tests/platform/com)
    add_dependencies(${target} dorvo2-regsvr dorvo2_recording_component)
    target_compile_definitions(${target} PRIVATE
        DORVO2_REGSVR="$<TARGET_FILE:dorvo2-regsvr>"
        RECORDING_COMPONENT="$<TARGET_FILE:dorvo2_recording_component>")
endfunction()

dorvo2_add_test(application_hosting_tests QT
    SOURCES
        CatalogueTests.cpp
        EditorWrapperTests.cpp
        WorkspaceContentsTests.cpp
    LIBS dorvo2_shell
    TIMEOUT 180
)
dorvo2_use_recording_component(application_hosting_tests)

# Reports and stop requests that cross from synchronization workers to the GUI thread.
dorvo2_add_test(application_sync_progress_tests QT
    SOURCES ProgressReportTests.cpp
    LIBS dorvo2_window
    LABELS concurrency
    TIMEOUT 120
)
dorvo2_use_recording_component(application_sync_progress_tests)
dorvo2_use_recording_component(application_shell_tests)
dorvo2_use_recording_component(application_screenshot_tests)

# The example components in a Workspace, once they are part of the build.
if(TARGET dorvo2_demosynth AND TARGET dorvo2_midimonitor AND TARGET dorvo2_sysexlibrarian)
    dorvo2_add_test(application_example_components_tests QT
        SOURCES ExampleComponentsTests.cpp ${PROJECT_SOURCE_DIR}/tests/platform/com/ComTestSupport.cpp
        LIBS dorvo2_window dorvo2_test_support
        TIMEOUT 120
    )
    target_include_directories(application_example_components_tests PRIVATE
                               ${PROJECT_SOURCE_DIR}/tests/platform/com)
    add_dependencies(application_example_components_tests dorvo2-regsvr)
    target_compile_definitions(application_example_components_tests PRIVATE
        DORVO2_REGSVR="$<TARGET_FILE:dorvo2-regsvr>")
    # The screenshots show the examples rather than the recording component.
    foreach(target application_example_components_tests application_screenshot_tests)
        add_dependencies(${target} dorvo2_demosynth dorvo2_midimonitor dorvo2_sysexlibrarian)
        target_compile_definitions(${target} PRIVATE
            DEMO_SYNTH="$<TARGET_FILE:dorvo2_demosynth>"
            MIDI_MONITOR="$<TARGET_FILE:dorvo2_midimonitor>"
            SYSEX_LIBRARIAN="$<TARGET_FILE:dorvo2_sysexlibrarian>")
    endforeach()
endif()

# Synchronization and Recall in the Workspace window; runs under the race checker too.
dorvo2_add_test(application_synchronization_tests QT
    SOURCES SynchronizationTests.cpp
    LIBS dorvo2_window
    LABELS concurrency
    TIMEOUT 180
)
dorvo2_use_recording_component(application_synchronization_tests)
# Its dialogs paint, and Qt, which is not instrumented, hands painting work to its thread pool and
# queues events under its own locks: the race checker looks only at instrumented code here. (Not
# for every test: threads that uninstrumented libraries start, JACK's, must not run ignored.)
set_property(TEST application_synchronization_tests APPEND PROPERTY ENVIRONMENT
    "TSAN_OPTIONS=second_deadlock_stack=1:halt_on_error=1:ignore_noninstrumented_modules=1:suppressions=${PROJECT_SOURCE_DIR}/tests/support/tsan.supp")

# Devices pulled and plugged in again while the Workspace runs.
dorvo2_add_test(application_device_change_tests QT
    SOURCES DeviceChangeTests.cpp ReplugScenario.h
    LIBS dorvo2_window
    TIMEOUT 120
)
dorvo2_use_recording_component(application_device_change_tests)

# The same through the fixture's JACK server.
dorvo2_add_test(application_replug_jack_tests QT
    SOURCES ReplugJackTests.cpp ReplugScenario.h
    LIBS dorvo2_window dorvo2_jack_test_client
    TIMEOUT 120
)
target_include_directories(application_replug_jack_tests
    PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform/winmm)
dorvo2_use_recording_component(application_replug_jack_tests)
dorvo2_require_jackd(application_replug_jack_tests)

# MIDI Thru through xruns: a private JACK server with short periods, started by the test. It
# runs alone: the xruns must be the test's own, and its timing must not fight another test.
dorvo2_add_test(application_thru_xrun_jack_tests
    SOURCES ThruXrunJackTests.cpp
    LIBS dorvo2_services dorvo2_jack_test_client
    TIMEOUT 300)
target_include_directories(application_thru_xrun_jack_tests
    PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform/winmm)
target_compile_definitions(application_thru_xrun_jack_tests PRIVATE
    DORVO2_JACK_FIXTURE_SCRIPT="${DORVO2_JACK_FIXTURE_SCRIPT}"
    DORVO2_JACK_STATE_DIR="${DORVO2_JACK_STATE_DIR}")
set_tests_properties(application_thru_xrun_jack_tests PROPERTIES RUN_SERIAL TRUE)
set_property(TEST application_thru_xrun_jack_tests APPEND PROPERTY ENVIRONMENT
             JACK_DEFAULT_SERVER=${DORVO2_JACK_SERVER}-xrun DORVO2_MIDI=jack)

# The Workspace model without widgets: the program links no widget library.
dorvo2_add_test(application_workspace_model_tests
    SOURCES WorkspaceModelTests.cpp
    LIBS dorvo2_workspace Qt6::Test
    TIMEOUT 120
)
dorvo2_use_recording_component(application_workspace_model_tests)
