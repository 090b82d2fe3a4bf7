target_link_libraries(${name} PRIVATE zorv_script zorv_core)
