# The thread tests under ThreadSanitizer as one CTest test (label `tsan`).
# scripts/test.sh makes a separate ThreadSanitizer build of the library and
# these tests (target test_threads) and names its directory in
# QVO_TSAN_BINARY_DIR; without it (an ordinary developer build) the test is
# not registered. `ctest -LE tsan` leaves it out.
set(QVO_TSAN_BINARY_DIR "" CACHE PATH "Where the ThreadSanitizer build put test_threads")
if(QVO_TSAN_BINARY_DIR)
  add_test(NAME tsan.threads COMMAND ${QVO_TSAN_BINARY_DIR}/tests/test_threads)
  # Started early, so that the other tests run beside it; any report fails it.
  set_tests_properties(tsan.threads PROPERTIES LABELS tsan TIMEOUT 300 COST 500
                       ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1:exitcode=66")
endif()
