# kmx_export_only(<target> <version-script>): a shared library exports exactly
# the C functions its version script lists and hides everything else.
function(kmx_export_only target script)
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${script})
  target_link_options(${target} PRIVATE "-Wl,--version-script=${script}")
endfunction()

# kmx_add_gtest(<name> SOURCES ... LIBS ...): one test program, each test case
# registered with CTest so that ctest runs them in parallel.
function(kmx_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kmx_test_main ${T_LIBS} kmx_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT 120)
endfunction()
