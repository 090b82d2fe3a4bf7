target_link_libraries(${name} PRIVATE zorv_sdk)
