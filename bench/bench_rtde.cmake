# The RTDE benchmark runs against the test peer of tests/rtde.
if(NOT TARGET rtde_test_peer)
  add_library(rtde_test_peer STATIC ${PROJECT_SOURCE_DIR}/tests/rtde/rtde_test_server.cpp)
  target_include_directories(rtde_test_peer
    PUBLIC ${PROJECT_SOURCE_DIR}/tests/rtde PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(rtde_test_peer PUBLIC nlohmann_json::nlohmann_json Threads::Threads)
endif()
target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(${name} PRIVATE zorv_rtde zorv_core rtde_test_peer)
