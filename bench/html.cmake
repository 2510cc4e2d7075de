# The HTML edition against the text export (run by hand: bench/run-html-bench).
add_executable(html_bench ${CMAKE_CURRENT_LIST_DIR}/html_bench.cpp)
target_link_libraries(html_bench PRIVATE tabulex_html)
tabulex_target_defaults(html_bench)
