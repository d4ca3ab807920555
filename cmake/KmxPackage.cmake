# Debian packages of the suite (`scripts/package`), one per part a user may
# want alone:
#   utvex-link      the link server, the client library and the UT simulator
#   utvex-link-dev  kmxclient.h, pkg-config and the CMake package, to build a
#                   program of one's own against the client library
#   utvex-cli       vexctl, the script server (started by the session bus on
#                   first use), the COM objects and the language libraries
#   utvex-gui       the service tool and the packet data wizard
# The dependencies are written out, not found by dpkg-shlibdeps: the suite's
# own libraries live in its other packages, which dpkg-shlibdeps cannot see.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME utvex)
set(CPACK_PACKAGE_VENDOR "KMX service suite")
set(CPACK_PACKAGE_CONTACT "KMX service suite maintainers <maintainers@kmx-suite.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and maintenance tools for a UT on a serial port")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL link dev cli gui)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://localhost/utvex")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)

set(_kmx_version "${PROJECT_VERSION}")
set(_kmx_runtime "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1")

set(CPACK_DEBIAN_LINK_PACKAGE_NAME utvex-link)
set(CPACK_DEBIAN_LINK_PACKAGE_DEPENDS "${_kmx_runtime}, zlib1g")
set(CPACK_COMPONENT_LINK_DESCRIPTION
  "UT link server, client library and simulator
 kmxserver owns a serial port and speaks the UT's framed link protocol; any
 number of local programs share that link through libkmxclient. utsim serves
 a simulated UT on a simulated port, for tests and demonstrations.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME utvex-link-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "utvex-link (= ${_kmx_version})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "UT link client library: development files
 The header kmxclient.h, the pkg-config file kmxclient.pc and the CMake
 package (find_package(kmxclient), target kmx::kmxclient) for programs that
 use the UT link through the client library.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME utvex-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS
  "utvex-link (= ${_kmx_version}), ${_kmx_runtime}, zlib1g, libsdbus-c++1 (>= 1.2.0), gzip (>= 1.6), dbus-daemon")
set(CPACK_COMPONENT_CLI_DESCRIPTION
  "UT command line and script server
 vexctl does every job of the suite from a shell: the UT's identity, any
 setting by name, NV items by path, backup and restore, software download.
 vxscript offers script objects on the session bus (UTVEX.Script), started
 by the bus on first use.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME utvex-gui)
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS
  "utvex-cli (= ${_kmx_version}), ${_kmx_runtime}, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins, ppp")
set(CPACK_COMPONENT_GUI_DESCRIPTION
  "UT service tool and packet data set-up wizard
 Utvex views and changes a UT's settings page by page, backs them up,
 restores them, moves them to another UT and downloads software.
 obnetmodem sets the UT up as a packet data modem for pppd.")

# The packages that hold shared libraries tell ldconfig when they come and go.
set(_kmx_triggers ${PROJECT_SOURCE_DIR}/cmake/package/share/triggers)
set(CPACK_DEBIAN_LINK_PACKAGE_CONTROL_EXTRA ${_kmx_triggers})
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${_kmx_triggers})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Every package carries the copyright notice and the changelog, compressed
# as Debian keeps it.
set(_kmx_changelog ${PROJECT_BINARY_DIR}/package/changelog.gz)
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/share/changelog.in ${PROJECT_BINARY_DIR}/package/changelog @ONLY)
add_custom_command(OUTPUT ${_kmx_changelog}
  COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/package/changelog > ${_kmx_changelog}
  DEPENDS ${PROJECT_BINARY_DIR}/package/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${_kmx_changelog})
foreach(component IN ITEMS link dev cli gui)
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/share/copyright ${_kmx_changelog}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME} COMPONENT ${component})
endforeach()

include(CPack)
