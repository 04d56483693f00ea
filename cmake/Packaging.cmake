# The Debian package, made by `make deb` (cpack -G DEB in a build configured for /usr). Its
# maintainer scripts register the installed components in the machine-wide registry, as a plain
# install does (desktop/CMakeLists.txt), and remove them again; the desktop's databases are
# updated by the triggers of the packages that own them.
set(CPACK_PACKAGE_NAME dorvo2)
set(CPACK_PACKAGE_VENDOR "Quenor")
set(CPACK_PACKAGE_CONTACT "Dorvo developers <dorvo@quenor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workspace host for editors of MIDI studio hardware")
# The long description, in lines of at most 80 characters as the package wants them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Dorvo hosts editor components: plug-ins that each edit the parameters of one"
    "piece of MIDI-controlled studio hardware. Editors are collected in a Workspace,"
    "connected to MIDI ports (ALSA sequencer or JACK), synchronized with the"
    "hardware one by one or all at once, and saved with the whole studio setup in"
    "one workspace document."
    "."
    "The package includes example components, a simulated synthesizer for trying"
    "Dorvo without hardware, the component build for sequencers, and the SDK for"
    "writing components.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The platform library's own shlibs entry, and the ldconfig trigger that goes with it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Programs the package runs or offers without linking them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2")

get_property(components GLOBAL PROPERTY DORVO2_INSTALLED_COMPONENTS)
list(TRANSFORM components PREPEND "${CMAKE_INSTALL_PREFIX}/")
list(JOIN components " " DORVO2_PACKAGED_COMPONENTS)
set(scripts ${CMAKE_BINARY_DIR}/debian)
foreach(script postinst prerm postrm)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/${script}.in ${scripts}/${script} @ONLY
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
endforeach()
# The platform library is a shared library of the system's library folder: ldconfig runs after
# the package comes and goes.
file(WRITE ${scripts}/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${scripts}/postinst ${scripts}/prerm ${scripts}/postrm
                                       ${scripts}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What every Debian package carries in its documentation folder, compressed as Debian wants.
set(docs ${CMAKE_CURRENT_LIST_DIR}/debian)
add_custom_command(OUTPUT ${scripts}/changelog.gz
    COMMAND gzip -n -9 -c ${docs}/changelog > ${scripts}/changelog.gz
    DEPENDS ${docs}/changelog VERBATIM)
add_custom_target(dorvo2_package_docs ALL DEPENDS ${scripts}/changelog.gz)
install(FILES ${docs}/copyright ${scripts}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dorvo2)

include(CPack)
