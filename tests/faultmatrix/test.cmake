target_link_libraries(tst_${name} PRIVATE ktcloudservice nimbracloud Qt5::WebSockets)
