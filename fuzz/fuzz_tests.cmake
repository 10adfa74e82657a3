# The fuzz targets as CTest tests (label `fuzz`). They are built by a separate
# clang build (libFuzzer); scripts/test.sh makes it and names its directory in
# QVO_FUZZ_BINARY_DIR, and each test then runs its target for about 20 s.
# Without clang, or when QVO_FUZZ_BINARY_DIR is not given (an ordinary
# developer build), they are not registered; a named target that is missing
# is reported as skipped. `ctest -LE fuzz` leaves them out.
set(QVO_FUZZ_BINARY_DIR "" CACHE PATH "Where the clang fuzz build put the fuzz targets")
find_program(QVO_CLANGXX clang++)
if(QVO_CLANGXX AND QVO_FUZZ_BINARY_DIR)
  foreach(target answer:seeds result:result_seeds login:login_seeds prepare:prepare_seeds
                 execute:execute_seeds parallel:parallel_seeds attributes:attributes_seeds
                 local_results:local_results_seeds metadata:metadata_seeds
                 convert:convert_seeds fetch_sequence:fetch_sequence_seeds
                 param_sequence:param_sequence_seeds
                 statement_sequence:statement_sequence_seeds)
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

# The seeds of the targets over the exported functions, made with the fake
# node's encoders: `fuzz_seed_generator <source fuzz folder>` rewrites the
# <target>_seeds folders (built on request only).
if(TARGET qvo_test_support)
  add_executable(fuzz_seed_generator EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/seed_generator.cpp)
  target_link_libraries(fuzz_seed_generator PRIVATE qvo_test_support)
endif()
