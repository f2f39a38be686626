# The cutter's udev rules: 60-kt-rv8.rules (product string and interface class) as it is, and
# 61-kt-rv8-ids.rules made from the ids in kt-rv8-usb-ids and the KTRV8_USB_IDS option.
set(KTRV8_USB_IDS "" CACHE STRING "More USB ids of the cutter for its udev rule (vvvv:pppp, ;-separated)")

file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/kt-rv8-usb-ids kt_usb_ids REGEX "^[^#]")
list(APPEND kt_usb_ids ${KTRV8_USB_IDS})
set(kt_rules "# Made by the build from kt-rv8-usb-ids and KTRV8_USB_IDS: the cutter by its USB ids.\n")
set(kt_access "MODE=\"0660\", TAG+=\"uaccess\"")
foreach(id IN LISTS kt_usb_ids)
    string(STRIP "${id}" id)
    string(TOLOWER "${id}" id)
    if(NOT id MATCHES "^([0-9a-f][0-9a-f][0-9a-f][0-9a-f]):([0-9a-f][0-9a-f][0-9a-f][0-9a-f])$")
        message(FATAL_ERROR "KT-RV8 USB id \"${id}\" is not vvvv:pppp in hex")
    endif()
    set(ids "ATTRS{idVendor}==\"${CMAKE_MATCH_1}\", ATTRS{idProduct}==\"${CMAKE_MATCH_2}\"")
    string(APPEND kt_rules
        "SUBSYSTEM==\"tty\", ${ids}, GROUP=\"dialout\", ${kt_access}, SYMLINK+=\"kt-rv8\"\n"
        "SUBSYSTEM==\"usbmisc\", KERNEL==\"lp[0-9]*\", ${ids}, GROUP=\"lp\", ${kt_access}, SYMLINK+=\"kt-rv8-lp\"\n"
        "SUBSYSTEM==\"hidraw\", ${ids}, ${kt_access}, SYMLINK+=\"kt-rv8-hid\"\n"
        "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ${ids}, ${kt_access}, SYMLINK+=\"kt-rv8-usb\"\n")
endforeach()
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/packaging/61-kt-rv8-ids.rules CONTENT "${kt_rules}")
install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-kt-rv8.rules ${PROJECT_BINARY_DIR}/packaging/61-kt-rv8-ids.rules
    DESTINATION lib/udev/rules.d)
