target_link_libraries(tst_${name} PRIVATE ktcloudservice)
if(TARGET ktrv8-cloud)
    add_dependencies(tst_${name} ktrv8-cloud)
endif()
