# Installs the suite into a scratch prefix and runs the installed vexctl as
# a user on a machine without a session bus would: `vexctl --sim info`
# starts a simulated UT, its own bus and the installed script server, which
# creates the installed COM objects. Run by CTest with -DBUILD_DIR and
# -DWORK_DIR.
include(${CMAKE_CURRENT_LIST_DIR}/scratch_install.cmake)
file(MAKE_DIRECTORY ${WORK_DIR}/runtime ${WORK_DIR}/data)
execute_process(
  COMMAND env -u DBUS_SESSION_BUS_ADDRESS -u KMX_RUNTIME_DIR -u KMX_PORT_DIR
    XDG_RUNTIME_DIR=${WORK_DIR}/runtime XDG_DATA_HOME=${WORK_DIR}/data XDG_DATA_DIRS=${WORK_DIR}/data
    ${prefix}/bin/vexctl --sim --json info
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
if(NOT rc EQUAL 0 OR NOT out MATCHES "\"ESN\": *\"0x")
  message(FATAL_ERROR "the installed vexctl failed (exit ${rc}):\n${out}\n${err}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
