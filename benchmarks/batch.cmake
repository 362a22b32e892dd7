# kelmory-batch against R on a million interval rows (R only at run time:
# scripts/bench installs it for this program).
add_executable(batch_vs_r ${CMAKE_CURRENT_LIST_DIR}/batch/batch_vs_r.cpp)
target_compile_definitions(batch_vs_r PRIVATE "KELMORY_BATCH=\"$<TARGET_FILE:kelmory-batch>\"")
add_dependencies(batch_vs_r kelmory-batch)
