target_link_libraries(${name} PRIVATE zorv_script zorv_core)
if(ZORV_SANITIZE STREQUAL "thread")
  target_compile_options(${name} PRIVATE -Wno-tsan)
endif()
