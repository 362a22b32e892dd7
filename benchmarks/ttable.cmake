# TTableSource::ReadRows on the shipped data file and on a 32,766-row file.
if(TARGET kelmory_ttable)
  add_executable(ttable_bench ${CMAKE_CURRENT_LIST_DIR}/ttable_bench.cpp)
  target_link_libraries(ttable_bench PRIVATE kelmory_ttable SQLite::SQLite3 benchmark::benchmark)
  target_compile_definitions(ttable_bench PRIVATE
    "KELMORY_CUTOFF_FILE=\"$<TARGET_PROPERTY:kelmory_cutoff_data,KELMORY_DATA_FILE>\"")
  add_dependencies(ttable_bench kelmory_cutoff_data)
endif()
