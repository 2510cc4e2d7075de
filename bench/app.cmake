add_executable(app_load_bench ${CMAKE_CURRENT_LIST_DIR}/app_load_bench.cpp)
target_link_libraries(app_load_bench PRIVATE tabulex_app)
