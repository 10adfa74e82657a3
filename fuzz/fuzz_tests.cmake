# The fuzz targets as CTest tests (label `fuzz`). They are built by a separate
# clang build (libFuzzer), which scripts/test.sh makes in QVO_FUZZ_BINARY_DIR
# before this build; each test then runs its target for about a minute. A
# target that is not built is reported as skipped. `ctest -LE fuzz` leaves
# them out.
find_program(QVO_CLANGXX clang++)
if(QVO_CLANGXX)
  set(QVO_FUZZ_BINARY_DIR "${PROJECT_SOURCE_DIR}/build/fuzz/fuzz"
      CACHE PATH "Where the clang fuzz build puts the fuzz targets")
  foreach(target answer:seeds result:result_seeds login:login_seeds)
    string(REPLACE ":" ";" _parts ${target})
    list(GET _parts 0 _name)
    list(GET _parts 1 _seeds)
    add_test(NAME fuzz.${_name}
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_fuzz.sh ${QVO_FUZZ_BINARY_DIR}/${_name}_fuzz
                     ${CMAKE_CURRENT_LIST_DIR}/${_seeds} ${CMAKE_BINARY_DIR}/fuzz-${_name})
    # Started first, so that the other tests run beside them.
    set_tests_properties(fuzz.${_name} PROPERTIES LABELS fuzz TIMEOUT 300 COST 1000
                         SKIP_RETURN_CODE 77)
  endforeach()
endif()
