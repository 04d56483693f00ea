# The application shell: Workspace window, start-up, preferences and the program itself.

# The single-instance channel is a local socket.
find_package(Qt6 REQUIRED COMPONENTS Network)

# The embedded images are painted at build time by a tool of ours.
add_executable(dorvo2-images ${PROJECT_SOURCE_DIR}/tools/dorvo2-images/main.cpp)
target_link_libraries(dorvo2-images PRIVATE Qt6::Gui)
dorvo2_target(dorvo2-images)

set(DORVO2_IMAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/images)
set(DORVO2_IMAGES HostSplash.png HostAbout.png Generic_01.png Generic_02.png bg.png
                  appli32_256.png KVrecall_64x37.png VEX2_64x39.png)
list(TRANSFORM DORVO2_IMAGES PREPEND ${DORVO2_IMAGE_DIR}/ OUTPUT_VARIABLE DORVO2_IMAGE_FILES)
add_custom_command(
    OUTPUT ${DORVO2_IMAGE_FILES}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:dorvo2-images> ${DORVO2_IMAGE_DIR}
    DEPENDS dorvo2-images
    COMMENT "Painting the embedded images"
    VERBATIM)

add_library(dorvo2_workspace STATIC
    ApplicationWindow.cpp
    ApplicationWindow.h
    CListBoxVEXElement.cpp
    CListBoxVEXElement.h
    ClientIMPClientProgressHandler.cpp
    ClientIMPClientProgressHandler.h
    CProgressMarshaller.cpp
    CProgressMarshaller.h
    CSyncMainDlg.cpp
    CSyncMainDlg.h
    CVEXWrapper.cpp
    CVEXWrapper.h
    CWrapContainer.cpp
    CWrapContainer.h
    GuiThread.cpp
    GuiThread.h
    Images.cpp
    Images.h
    LongPathName.cpp
    LongPathName.h
    PreferenceKeys.h
    ShellLog.cpp
    ShellLog.h
    Splash.cpp
    Splash.h
    TDocuSaveLoad.cpp
    TDocuSaveLoad.h
    TComponentCatalogue.cpp
    TComponentCatalogue.h
    THandOverMessage.cpp
    THandOverMessage.h
    TIconViewDelegate.cpp
    TIconViewDelegate.h
    TProgramEventFilter.cpp
    TProgramEventFilter.h
    TSingleInstance.cpp
    TSingleInstance.h
    TSynchronizer.cpp
    TSynchronizer.h
    TSyncThread.cpp
    TSyncThread.h
    TWorkspaceLoader.cpp
    TWorkspaceLoader.h
    TWorkspaceSerializer.cpp
    TWorkspaceSerializer.h
    Version.h
    forms/About.cpp
    forms/About.h
    forms/About.ui
    forms/ConfirmSynchronization.cpp
    forms/ConfirmSynchronization.h
    forms/ConfirmSynchronization.ui
    forms/SetupDlg.cpp
    forms/SetupDlg.h
    forms/SetupDlg.ui
    forms/SetupDlgPorts.cpp
    forms/cancelTotalRecall.cpp
    forms/cancelTotalRecall.h
    forms/cancelTotalRecall.ui
    forms/noCancelProgresss.cpp
    forms/noCancelProgresss.h
    forms/noCancelProgresss.ui
    forms/portMappingDlg.cpp
    forms/portMappingDlg.h
    forms/portMappingDlg.ui
    forms/WSPortTableItem.cpp
    forms/WSPortTableItem.h
    forms/singleProgress.cpp
    forms/singleProgress.h
    forms/singleProgress.ui
)
set_target_properties(dorvo2_workspace PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
target_include_directories(dorvo2_workspace
    PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/forms
           # The store names are shared with the transport's port identities.
           ${PROJECT_SOURCE_DIR}/TransportLayer)
target_link_libraries(dorvo2_workspace PUBLIC dorvo2_application dorvo2_setup Qt6::Widgets Qt6::Network)
qt_add_resources(dorvo2_workspace dorvo2_images
    PREFIX /images
    BASE ${DORVO2_IMAGE_DIR}
    FILES ${DORVO2_IMAGE_FILES})
dorvo2_target(dorvo2_workspace)

add_executable(dorvo2 main.cpp)
set_target_properties(dorvo2 PROPERTIES AUTOMOC ON)
target_link_libraries(dorvo2 PRIVATE dorvo2_workspace)
dorvo2_target(dorvo2)
install(TARGETS dorvo2 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
