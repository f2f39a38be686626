# Runs inside cpack on the staged tree before it is packed.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY})
set(usr ${root}${CPACK_PACKAGING_INSTALL_PREFIX})

# udev reads packaged rules from /lib/udev/rules.d, and Debian 12 keeps packaged systemd units
# in /lib/systemd/system: both outside the /usr prefix.
foreach(system udev systemd)
    if(EXISTS ${usr}/lib/${system})
        file(MAKE_DIRECTORY ${root}/lib)
        file(RENAME ${usr}/lib/${system} ${root}/lib/${system})
    endif()
endforeach()

# No folder may live in /usr/bin: translations installed beside a tool join the shared ones,
# where the tool must look for them when installed.
if(IS_DIRECTORY ${usr}/bin/translations)
    file(GLOB stray ${usr}/bin/translations/*)
    message(STATUS "moving ${stray} from bin/translations to ${CPACK_KT_TRANSLATIONSDIR}")
    file(MAKE_DIRECTORY ${usr}/${CPACK_KT_TRANSLATIONSDIR})
    file(COPY ${stray} DESTINATION ${usr}/${CPACK_KT_TRANSLATIONSDIR})
    file(REMOVE_RECURSE ${usr}/bin/translations)
endif()
