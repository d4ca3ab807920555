# Installs the suite into a scratch prefix and builds the example program the
# way an outside project would: once with pkg-config, once with the CMake
# package. Run by CTest with -DBUILD_DIR, -DSOURCE_DIR, -DWORK_DIR, -DCC and
# -DEXTRA_FLAGS (the sanitizer flags of this build, which the installed
# libraries need in their users too).
include(${CMAKE_CURRENT_LIST_DIR}/scratch_install.cmake)

# pkg-config
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs kmxclient OUTPUT_VARIABLE flags
  RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know kmxclient")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
execute_process(COMMAND ${CC} ${extra} ${SOURCE_DIR}/examples/kmx_example.c ${flags}
  -o ${WORK_DIR}/example_pc RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building against pkg-config's flags failed")
endif()
execute_process(COMMAND ${WORK_DIR}/example_pc RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "the example built with pkg-config did not run (exit ${rc})")
endif()

# CMake package
file(WRITE ${WORK_DIR}/consumer/CMakeLists.txt "
cmake_minimum_required(VERSION 3.16)
project(consumer C)
find_package(kmxclient REQUIRED)
add_executable(example ${SOURCE_DIR}/examples/kmx_example.c)
target_link_libraries(example PRIVATE kmx::kmxclient)
")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/consumer -B ${WORK_DIR}/consumer/build
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${CC} "-DCMAKE_C_FLAGS=${EXTRA_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}" RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc EQUAL 0)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer/build RESULT_VARIABLE rc OUTPUT_QUIET)
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building with find_package(kmxclient) failed")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
