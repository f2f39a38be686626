# The fleet service's systemd unit and its user. The unit names the program by its installed
# path, which is known only when installing (cpack installs under its own prefix).
if(NOT TARGET ktrv8-cloud)
    return()
endif()
set(kt_unit_source ${CMAKE_CURRENT_LIST_DIR}/ktrv8-cloud.service.in)
install(CODE "
    set(KT_CLOUD_BINARY \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/ktrv8-cloud\")
    configure_file(\"${kt_unit_source}\" \"${PROJECT_BINARY_DIR}/packaging/ktrv8-cloud.service\" @ONLY)
")
install(FILES ${PROJECT_BINARY_DIR}/packaging/ktrv8-cloud.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/ktrv8-cloud.sysusers DESTINATION lib/sysusers.d RENAME ktrv8-cloud.conf)
