target_link_libraries(tst_${name} PRIVATE Qt5::Network Qt5::Widgets)
target_include_directories(tst_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/simulator)
# The host test runs both tools.
if(TARGET ktrv8 AND TARGET ktrv8-sim)
    add_dependencies(tst_${name} ktrv8 ktrv8-sim)
endif()
# The page time estimator is tested in process too.
if(TARGET ktrv8host)
    target_link_libraries(tst_${name} PRIVATE ktrv8host)
endif()
