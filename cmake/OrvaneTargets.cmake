# Shared settings for every target this project builds.

# Warnings on our own code only; errors only where the project checks itself (ORVANE_WERROR).
function(orvane_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(ORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A GoogleTest executable registered with CTest.
# FIXTURE names a CTest fixture every test of the program needs.
function(orvane_add_test name)
  cmake_parse_arguments(ARG "" "FIXTURE" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  orvane_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    ORVANE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    ORVANE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_FIXTURE)
    list(APPEND properties FIXTURES_REQUIRED ${ARG_FIXTURE})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# A Google Benchmark program, built by default and run on demand.
function(orvane_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  orvane_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()

# A libFuzzer target (only in a clang build with ORVANE_FUZZ=ON).
function(orvane_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  orvane_target_defaults(${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()
