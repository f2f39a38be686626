# The window's place on the desktop: menu entry, icon, "open with" for drawings and PLT jobs,
# and the software-centre description.
if(TARGET ktrv8-gui)
    set(desktop ${CMAKE_CURRENT_LIST_DIR})
    configure_file(${desktop}/org.example.ktrv8.gui.metainfo.xml
        ${PROJECT_BINARY_DIR}/packaging/org.example.ktrv8.gui.metainfo.xml @ONLY)
    install(FILES ${desktop}/ktrv8-gui.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${desktop}/kt-rv8.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${desktop}/kt-rv8-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
    install(FILES ${PROJECT_BINARY_DIR}/packaging/org.example.ktrv8.gui.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
