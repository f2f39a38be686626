target_link_libraries(tst_${name} PRIVATE ktrv8sim_core Qt5::Network)
