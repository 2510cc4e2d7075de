add_executable(app_load_bench ${CMAKE_CURRENT_LIST_DIR}/app_load_bench.cpp)
target_link_libraries(app_load_bench PRIVATE tabulex_app)

add_executable(preview_bench ${CMAKE_CURRENT_LIST_DIR}/preview_bench.cpp)
target_link_libraries(preview_bench PRIVATE tabulex_app)
