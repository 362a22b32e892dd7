# A 100,000-row paste into the review window against a bare table view.
if(TARGET kelmory_review)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(review_paste_bench ${CMAKE_CURRENT_LIST_DIR}/review/paste_bench.cpp)
  target_link_libraries(review_paste_bench PRIVATE kelmory_review Qt6::Test)
  kelmory_runtime_output(review_paste_bench)
endif()

# The window's peak memory opening a large CSV and pasting a million rows.
if(TARGET kelmory_review)
  add_executable(review_memory_bench ${CMAKE_CURRENT_LIST_DIR}/review/memory_bench.cpp)
  target_link_libraries(review_memory_bench PRIVATE kelmory_review Qt6::Test)
  kelmory_runtime_output(review_memory_bench)
endif()
