# Runs inside cpack on the staged tree before it is packed: udev reads its packaged rules
# from /lib/udev/rules.d, outside the /usr prefix the rest is staged under.
set(staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/lib/udev)
if(EXISTS ${staged})
    file(MAKE_DIRECTORY ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/lib)
    file(RENAME ${staged} ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/lib/udev)
endif()
