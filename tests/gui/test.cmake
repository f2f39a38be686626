target_link_libraries(tst_${name} PRIVATE ktrv8gui Qt5::Widgets)
target_include_directories(tst_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/simulator)
# The window is driven in-process and as the program itself, against the simulator.
add_dependencies(tst_${name} ktrv8-gui ktrv8-sim)
