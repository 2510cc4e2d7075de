# Helper programs of the scripts (not installed).
add_executable(tabulex_screenshots ${CMAKE_CURRENT_LIST_DIR}/screenshots.cpp)
target_link_libraries(tabulex_screenshots PRIVATE tabulex_app)
