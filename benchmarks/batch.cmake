# kelmory-batch against R on a million interval rows (R only at run time:
# scripts/bench installs it for this program).
add_executable(batch_vs_r ${CMAKE_CURRENT_LIST_DIR}/batch/batch_vs_r.cpp)
target_compile_definitions(batch_vs_r PRIVATE "KELMORY_BATCH=\"$<TARGET_FILE:kelmory-batch>\"")
add_dependencies(batch_vs_r kelmory-batch)

# A median row under each skewed-data choice, against its normal estimate.
add_executable(skewed_rows_bench ${CMAKE_CURRENT_LIST_DIR}/batch/skewed_rows_bench.cpp)
target_link_libraries(skewed_rows_bench PRIVATE kelmory_rows benchmark::benchmark)
