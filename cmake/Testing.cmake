find_package(GTest REQUIRED)
include(GoogleTest)

# velmora_test(NAME SOURCES... LIBS libs... [LABELS labels...])
# One GoogleTest executable, registered test by test with CTest.
# Label "pipeline" marks tests that run headless and under the sanitizers;
# label "gui" marks tests that need a display (run under xvfb-run or offscreen).
function(velmora_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} velmora_testsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} PROPERTIES LABELS "${T_LABELS}"
                       ENVIRONMENT "VELMORA_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
                       DISCOVERY_TIMEOUT 60)
endfunction()

# velmora_fuzzer(NAME SOURCES... LIBS libs...): a libFuzzer harness (clang only).
function(velmora_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(VELMORA_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
  endif()
endfunction()
