# The RPC round trip against the in-process test controller.
if(TARGET zorv_rpc_test_controller)
  target_link_libraries(${name} PRIVATE zorv_rpc zorv_core zorv_rpc_test_controller)
else()
  target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/rpc/test_controller.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/rpc ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(${name} PRIVATE zorv_rpc zorv_core)
endif()
