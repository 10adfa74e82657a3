# Install layout for applications: the library with its soname, the public
# headers under include/qvo, a pkg-config file and a CMake package giving the
# imported target qvocli::qvocli.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QVO_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
set(QVO_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
file(RELATIVE_PATH QVO_PC_UP "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
configure_file(${CMAKE_CURRENT_LIST_DIR}/qvocli.pc.in ${PROJECT_BINARY_DIR}/qvocli.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qvocli.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(QVO_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qvocli)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/qvocliConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qvocliConfig.cmake
  INSTALL_DESTINATION ${QVO_CONFIG_DIR}
  PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qvocliConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qvocliConfig.cmake
  ${PROJECT_BINARY_DIR}/qvocliConfigVersion.cmake DESTINATION ${QVO_CONFIG_DIR})
