target_link_libraries(tst_${name} PRIVATE Qt5::Network)
target_include_directories(tst_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/simulator)
# Real processes: the fleet service, the simulator, the host and the window; and a headless browser if present.
foreach(tool ktrv8 ktrv8-gui ktrv8-sim ktrv8-cloud)
    if(TARGET ${tool})
        add_dependencies(tst_${name} ${tool})
    endif()
endforeach()
