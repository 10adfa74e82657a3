# The thread tests under ThreadSanitizer as CTest tests (label `tsan`).
# scripts/test.sh makes a separate ThreadSanitizer build of the library and
# these tests (target test_threads, which also builds test_threads_units) and
# names its directory in QVO_TSAN_BINARY_DIR; without it (an ordinary
# developer build) the tests are not registered. `ctest -LE tsan` leaves them
# out.
set(QVO_TSAN_BINARY_DIR "" CACHE PATH "Where the ThreadSanitizer build put test_threads")
if(QVO_TSAN_BINARY_DIR)
  add_test(NAME tsan.threads COMMAND ${QVO_TSAN_BINARY_DIR}/tests/test_threads)
  # Started early, so that the other tests run beside it; any report fails it.
  set_tests_properties(tsan.threads PROPERTIES LABELS tsan TIMEOUT 300 COST 500
                       ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1:exitcode=66")
  # The thread tests of the subsystem folders (built with test_threads).
  add_test(NAME tsan.threads_units COMMAND ${QVO_TSAN_BINARY_DIR}/tests/test_threads_units)
  set_tests_properties(tsan.threads_units PROPERTIES LABELS tsan TIMEOUT 300 COST 400
                       ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1:exitcode=66")
endif()
