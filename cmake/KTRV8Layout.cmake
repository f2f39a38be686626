# Where `cmake --install` puts things under a prefix, and the relative hops the programs take
# between those folders at run time. Set before the targets, so any folder can use them.
#
#   bin/                          ktrv8, ktrv8-sim, ktrv8-cloud (and ktrv8-gui)
#   LIBDIR/kt-rv8/                the plug-in and its two platform libraries (private: they
#                                 have no versioned SONAME, so they stay out of the linker path)
#   LIBDIR/cmake/KTRV8/           find_package(KTRV8 CONFIG)
#   LIBDIR/pkgconfig/kt-rv8.pc    (LIBDIR: lib, or lib/<multiarch> on Debian)
#   include/KT-RV8/               the public headers
#   share/kt-rv8/translations/    found by the plug-in relative to its own file
#   share/kt-rv8/examples/        the demo's sample job
#   share/man/man1/, share/doc/kt-rv8/, lib/udev/rules.d/
#
# Every path between these folders is relative, so a prefix can be moved after install.

# On Debian the libraries go to the multiarch folder, as in Debian's own packages, so a
# prefix install and the .deb share one layout.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)

set(KT_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/kt-rv8)
set(KT_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/kt-rv8)
set(KT_INSTALL_TRANSLATIONSDIR ${KT_INSTALL_DATADIR}/translations)
set(KT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KTRV8)
set(KT_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/kt-rv8)

# The relative hops the code takes at run time, from the tools' folder and from the plug-in's.
function(kt_relative_path out from to)
    file(RELATIVE_PATH rel /kt-prefix/${from} /kt-prefix/${to})
    set(${out} ${rel} PARENT_SCOPE)
endfunction()
kt_relative_path(KT_PLUGIN_FROM_BIN ${CMAKE_INSTALL_BINDIR} ${KT_INSTALL_PLUGINDIR})
kt_relative_path(KT_DATA_FROM_BIN ${CMAKE_INSTALL_BINDIR} ${KT_INSTALL_DATADIR})
kt_relative_path(KT_TRANSLATIONS_FROM_BIN ${CMAKE_INSTALL_BINDIR} ${KT_INSTALL_TRANSLATIONSDIR})
kt_relative_path(KT_TRANSLATIONS_FROM_PLUGIN ${KT_INSTALL_PLUGINDIR} ${KT_INSTALL_TRANSLATIONSDIR})
