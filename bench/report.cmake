# Benchmark of the report engine over a large listing (run by hand: bench/run-report-bench).
add_executable(report_bench ${CMAKE_CURRENT_LIST_DIR}/report_bench.cpp)
target_link_libraries(report_bench PRIVATE tabulex_report)
tabulex_target_defaults(report_bench)
target_compile_features(report_bench PRIVATE cxx_std_20)
