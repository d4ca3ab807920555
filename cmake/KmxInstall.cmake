# What `cmake --install` puts in place: the programs, the shared libraries
# they need, the client library's header, and the files that let an outside
# program build against the client library (pkg-config and a CMake package).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Each rule names its component, which is its Debian package (see
# KmxPackage.cmake): link, dev, cli or gui.
install(TARGETS kmxserver utsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT link)
install(TARGETS libutsim LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT link)
# The client library's own libraries go with it into its export set.
install(TARGETS kmxclient kmxipc kmxio kmxplatform EXPORT kmxclientTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT link)
install(FILES ${PROJECT_SOURCE_DIR}/link/client/include/kmxclient.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

install(EXPORT kmxclientTargets NAMESPACE kmx:: FILE kmxclientTargets.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kmxclient COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/package/kmxclientConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/kmxclientConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kmxclient)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/kmxclientConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/kmxclientConfig.cmake
  ${PROJECT_BINARY_DIR}/package/kmxclientConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kmxclient COMPONENT dev)

# pkg-config needs the real prefix, known only at install time.
install(CODE "
  set(CMAKE_INSTALL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/package/kmxclient.pc.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/kmxclient.pc\" @ONLY)
" COMPONENT dev)

# The service side: the script server, the COM objects it creates (found
# beside libvxcom.so, or registered with vxregsvr), so that an installed
# vexctl or script finds a whole suite.
install(TARGETS vxscript vxregsvr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(TARGETS vxcom vxconnect vxutconfig LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT cli)

# The session bus starts the installed script server on first use: its
# service file goes where every user's session bus looks, with the
# program's real path, known only at install time.
install(CODE "
  set(CMAKE_INSTALL_FULL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/package/share/UTVEX.Script.service.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/dbus-1/services/UTVEX.Script.service\" @ONLY)
" COMPONENT cli)

# The windowed programs in the desktop's menus.
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/share/utvex.desktop
  ${PROJECT_SOURCE_DIR}/cmake/package/share/obnetmodem.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gui)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/share/utvex.svg
  ${PROJECT_SOURCE_DIR}/cmake/package/share/obnetmodem.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT gui)
