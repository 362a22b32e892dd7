# TTableSource::ReadRows on the shipped data file and on a 32,766-row file.
if(TARGET kelmory_ttable)
  add_executable(ttable_bench ${CMAKE_CURRENT_LIST_DIR}/ttable_bench.cpp)
  target_include_directories(ttable_bench PRIVATE ${KELMORY_SOURCE_DIR})
  target_link_libraries(ttable_bench PRIVATE kelmory_ttable SQLite::SQLite3 benchmark::benchmark)
  target_compile_definitions(ttable_bench PRIVATE
    "KELMORY_CUTOFF_FILE=\"$<TARGET_PROPERTY:kelmory_cutoff_data,KELMORY_DATA_FILE>\"")
  add_dependencies(ttable_bench kelmory_cutoff_data)
endif()

# The window load, from a directory of its own where it lays out the data file.
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(citable_window_bench ${CMAKE_CURRENT_LIST_DIR}/citable_window_bench.cpp)
target_link_libraries(citable_window_bench PRIVATE kelmory_ttable SQLite::SQLite3 Qt6::Test
                                                   benchmark::benchmark)
target_compile_definitions(citable_window_bench PRIVATE
  "KELMORY_CUTOFF_FILE=\"$<TARGET_PROPERTY:kelmory_cutoff_data,KELMORY_DATA_FILE>\"")
set_target_properties(citable_window_bench PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/window_bench)
add_dependencies(citable_window_bench kelmory_cutoff_data)
