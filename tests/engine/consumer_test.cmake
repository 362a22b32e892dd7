# Run by CTest: configures the outside project in consumer/, which takes the
# repository in with add_subdirectory, builds it and runs its program.
# Inputs: KELMORY_ROOT, CONSUMER_SOURCE, CONSUMER_BINARY, CONSUMER_CXX,
# CONSUMER_GENERATOR.
function(run step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${step} failed (${status}):\n${out}\n${err}")
  endif()
  message(STATUS "${step}: ok")
endfunction()

run(configure ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${CONSUMER_BINARY}
  -G ${CONSUMER_GENERATOR}
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_CXX_COMPILER=${CONSUMER_CXX}
  -DKELMORY_ROOT=${KELMORY_ROOT}
  -DKELMORY_BUILD_GUI=OFF -DKELMORY_BUILD_TESTS=OFF)
run(build ${CMAKE_COMMAND} --build ${CONSUMER_BINARY} --parallel 2 --target kelmory_consumer
    kelmory_rows_consumer)
run(run ${CONSUMER_BINARY}/kelmory_consumer)
run(run-rows ${CONSUMER_BINARY}/kelmory_rows_consumer)
