# Included by benchmarks/CMakeLists.txt, which has found Google Benchmark.
add_executable(engine_bench ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp)
target_link_libraries(engine_bench PRIVATE kelmory_engine benchmark::benchmark)
