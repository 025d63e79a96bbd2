# What `cmake --install` puts in place for a workstation: plugin-host and plugin-host-render, the client
# library with the protocol and core libraries it needs, their headers (under include/pluginhost), a
# CMake package (find_package(PluginHost)) and a pkg-config file (pluginhost-client). `cpack -G DEB` in
# the build folder makes a Debian package of the same files.
include(CMakePackageConfigHelpers)

set(PLUGINHOST_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/PluginHost)
install(EXPORT PluginHostTargets NAMESPACE PluginHost:: DESTINATION ${PLUGINHOST_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PluginHostConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/PluginHostConfig.cmake
                              INSTALL_DESTINATION ${PLUGINHOST_CMAKE_DIR} PATH_VARS CMAKE_INSTALL_BINDIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PluginHostConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PluginHostConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PluginHostConfigVersion.cmake
        DESTINATION ${PLUGINHOST_CMAKE_DIR})

# Relative to the .pc file, so the package works in whatever prefix it is installed.
file(RELATIVE_PATH PLUGINHOST_PC_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pluginhost-client.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pluginhost-client.pc
               @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pluginhost-client.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plugin-host)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Out-of-process VST plug-in host, its client library and the plugin-host-render example")
set(CPACK_PACKAGE_CONTACT "plugin-host developers <plugin-host@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libsndfile1")
include(CPack)
