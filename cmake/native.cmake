# Native build: unit tests of the portable core against in-process fakes of
# the platform seam, and the benchmarks on request.
find_package(GTest REQUIRED)
include(GoogleTest)

# The test rig: simulated players and the control panel's stand-in.
add_library(tandem_testsupport STATIC ${PROJECT_SOURCE_DIR}/tests/support/fakeplayers.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/mixrig.cpp)
target_link_libraries(tandem_testsupport PUBLIC tandem_core tplayer_model tandem_tools tandem_seam GTest::gtest)
tandem_warnings(tandem_testsupport)

# Tests that touch threads carry the label "threads" (not "unit") and also run
# under ThreadSanitizer; the target threaded_tests builds them together.
set(THREADED_TESTS mixthreads_test analysis_test)
add_custom_target(threaded_tests)

file(GLOB UNIT_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/*_test.cpp)
foreach(src ${UNIT_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tandem_testsupport GTest::gtest_main)
  tandem_warnings(${name})
  # One label only: gtest_discover_tests flattens a list of labels into separate properties.
  set(label unit)
  if(name IN_LIST THREADED_TESTS)
    set(label threads)
    add_dependencies(threaded_tests ${name})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS ${label} TIMEOUT 300)
endforeach()

if(TANDEM_BENCH)
  find_package(benchmark REQUIRED)
  file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*_bench.cpp)
  list(FILTER BENCH_SOURCES EXCLUDE REGEX "/libwin_bench\\.cpp$")  # drives the Windows program
  foreach(src ${BENCH_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE tandem_testsupport benchmark::benchmark benchmark::benchmark_main)
    tandem_warnings(${name})
  endforeach()
endif()

# The mixer soak runs on request (it takes minutes): cmake --build ... --target mixsoak.
add_executable(mixsoak EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/bench/mixsoak.cpp)
target_link_libraries(mixsoak PRIVATE tandem_testsupport)
tandem_warnings(mixsoak)
