# What `cmake --install` puts under a prefix (the folders are set in KTRV8Layout.cmake), the
# CMake and pkg-config packages, the manual pages and the Debian package made from it all.
include(CMakePackageConfigHelpers)

# Only the file that looks for the translations needs the hop; the other sources keep
# their compile flags.
set_property(SOURCE ${PROJECT_SOURCE_DIR}/rv8/ktrv8.cpp APPEND PROPERTY COMPILE_DEFINITIONS
    KTRV8_TRANSLATIONS_FROM_PLUGIN="${KT_TRANSLATIONS_FROM_PLUGIN}")
target_link_libraries(KT-RV8 PRIVATE ${CMAKE_DL_LIBS})

# --- Libraries, headers, translations -------------------------------------------------
set_target_properties(KT-RV8 PROPERTIES EXPORT_NAME KTRV8)
target_include_directories(nimbracloud PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/KT-RV8>)
install(TARGETS KT-RV8 ktusblink nimbracloud EXPORT KTRV8Targets
    LIBRARY DESTINATION ${KT_INSTALL_PLUGINDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The four classes a host programs against and what their declarations name: the export
# macro and the cloud client that setNimbraCloud takes. UsbLink stays private.
install(FILES
    ${PROJECT_SOURCE_DIR}/interface/ktglobal.h
    ${PROJECT_SOURCE_DIR}/interface/ktdeviceinterface.h
    ${PROJECT_SOURCE_DIR}/property/ktdeviceproperty.h
    ${PROJECT_SOURCE_DIR}/link/ktcommoninterface.h
    ${PROJECT_SOURCE_DIR}/rv8/ktrv8.h
    ${PROJECT_SOURCE_DIR}/platform/nimbracloud.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KT-RV8)
if(KT_QM_FILES)
    install(FILES ${KT_QM_FILES} DESTINATION ${KT_INSTALL_TRANSLATIONSDIR})
endif()

# --- CMake package and pkg-config file -------------------------------------------------
install(EXPORT KTRV8Targets NAMESPACE KTRV8:: DESTINATION ${KT_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KTRV8Config.cmake.in
    ${PROJECT_BINARY_DIR}/cmake/KTRV8Config.cmake
    INSTALL_DESTINATION ${KT_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/KTRV8ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/KTRV8Config.cmake ${PROJECT_BINARY_DIR}/cmake/KTRV8ConfigVersion.cmake
    DESTINATION ${KT_INSTALL_CMAKEDIR})

kt_relative_path(KT_PREFIX_FROM_PC ${CMAKE_INSTALL_LIBDIR}/pkgconfig .)
configure_file(${PROJECT_SOURCE_DIR}/cmake/kt-rv8.pc.in ${PROJECT_BINARY_DIR}/cmake/kt-rv8.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cmake/kt-rv8.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# --- Tools ---------------------------------------------------------------------------
# A tool finds the plug-in (linked or loaded) and the shared data through relative hops;
# the hops go to the static libraries it is built from too, where its loading code may live.
function(kt_install_tool target)
    if(NOT TARGET ${target})
        return()
    endif()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${KT_PLUGIN_FROM_BIN}")
    set(users ${target})
    get_target_property(links ${target} LINK_LIBRARIES)
    foreach(lib IN LISTS links)
        if(TARGET ${lib})
            get_target_property(type ${lib} TYPE)
            get_target_property(imported ${lib} IMPORTED)
            if(type STREQUAL "STATIC_LIBRARY" AND NOT imported)
                list(APPEND users ${lib})
            endif()
        endif()
    endforeach()
    foreach(user IN LISTS users)
        target_compile_definitions(${user} PRIVATE KTRV8_PLUGIN_FROM_BIN="${KT_PLUGIN_FROM_BIN}"
            KTRV8_DATA_FROM_BIN="${KT_DATA_FROM_BIN}" KTRV8_TRANSLATIONS_FROM_BIN="${KT_TRANSLATIONS_FROM_BIN}")
    endforeach()
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
foreach(tool ktrv8 ktrv8-sim ktrv8-cloud ktrv8-gui)
    kt_install_tool(${tool})
endforeach()
if(TARGET ktrv8)
    install(FILES ${PROJECT_SOURCE_DIR}/examples/sample.plt DESTINATION ${KT_INSTALL_DATADIR}/examples)
endif()

# Manual pages from each tool's own --help, so they never disagree with it.
find_program(HELP2MAN help2man)
set(KT_MAN_PAGES)
function(kt_man_page target summary)
    # A sanitizer build would add its own reports to the help text.
    if(NOT TARGET ${target} OR NOT HELP2MAN OR KT_SANITIZE OR KT_BUILD_FUZZ)
        return()
    endif()
    set(page ${PROJECT_BINARY_DIR}/man/${target}.1)
    # ktrv8's help is one overview and a page per command: its own writer keeps one line a
    # command and every option of every command (help2man would reflow it into one paragraph).
    set(writer ${HELP2MAN} --no-info --version-string=${PROJECT_VERSION} --name=${summary}
        --output=${page} $<TARGET_FILE:${target}>)
    if(target STREQUAL "ktrv8")
        set(writer python3 ${PROJECT_SOURCE_DIR}/packaging/man/manpage.py $<TARGET_FILE:${target}>
            ${PROJECT_VERSION} ${page})
    endif()
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${writer}
        COMMAND gzip -n -9 -f ${page}
        DEPENDS ${target} ${PROJECT_SOURCE_DIR}/packaging/man/manpage.py
        COMMENT "Manual page ${target}.1"
        VERBATIM)
    set(KT_MAN_PAGES ${KT_MAN_PAGES} ${page}.gz PARENT_SCOPE)
endfunction()
kt_man_page(ktrv8 "command-line host for the KT-RV8 lettering cutter driver")
kt_man_page(ktrv8-sim "simulator of the KT-RV8 lettering cutter")
kt_man_page(ktrv8-cloud "self-hosted fleet service for KT-RV8 lettering cutters")
kt_man_page(ktrv8-gui "desktop window for the KT-RV8 lettering cutter driver")
if(KT_MAN_PAGES)
    add_custom_target(manpages ALL DEPENDS ${KT_MAN_PAGES})
    install(FILES ${KT_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(KT_BUILD_TOOLS)
    message(STATUS "help2man not found: no manual pages")
endif()

# --- System files and package documents -------------------------------------------------
include(${PROJECT_SOURCE_DIR}/packaging/udev/udevrules.cmake)
include(${PROJECT_SOURCE_DIR}/packaging/desktop/desktop.cmake)
include(${PROJECT_SOURCE_DIR}/packaging/systemd/systemd.cmake)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -n -9 -f -k ${PROJECT_BINARY_DIR}/packaging/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(package-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${KT_INSTALL_DOCDIR})

# --- Debian package --------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kt-rv8)
set(CPACK_PACKAGE_VENDOR "KT-RV8 developers")
set(CPACK_PACKAGE_CONTACT "KT-RV8 developers <kt-rv8@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "driver plug-in and tools for the KT-RV8 lettering cutter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A Qt 5 device-driver plug-in for the KT-RV8 mini lettering cutter, which a
host application loads to drive the cutter over USB or TCP: settings with
their own editors, PLT jobs page by page, copies, QR-code jobs and cloud
reporting.
.
Also ships the ktrv8 command-line host, the ktrv8-sim cutter simulator, a
local cloud service, a udev rule giving users access to the cutter, and the
headers, CMake package and pkg-config file for building hosts.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by name, not linked: Qt's reader of TIFF pictures, which are traced, and the fleet
# service's default SQLite store's driver.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt5-image-formats-plugins, libqt5sql5-sqlite")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/systemd/postinst)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Moves into place what a prefix install and a Debian package keep in different folders.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianLayout.cmake)
set(CPACK_KT_TRANSLATIONSDIR ${KT_INSTALL_TRANSLATIONSDIR})
include(CPack)
