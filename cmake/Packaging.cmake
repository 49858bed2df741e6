# What host developers build against: on Linux a CMake package and a pkg-config file in
# the install prefix, and .deb packages; on Windows an SDK zip.
include(CMakePackageConfigHelpers)

if(NOT WIN32)
  # The CMake package finds its files from where it lies, so it follows the prefix of
  # `cmake --install --prefix` by itself.
  install(EXPORT QorvCryptManageTargets NAMESPACE QorvCryptManage:: DESTINATION ${QORV_INSTALL_CMAKEDIR}
          COMPONENT Development)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/QorvCryptManageConfig.cmake.in
                                ${PROJECT_BINARY_DIR}/packaging/QorvCryptManageConfig.cmake
                                INSTALL_DESTINATION ${QORV_INSTALL_CMAKEDIR})
  # The same promise as the SONAME's: a 0.x library serves hosts built against any
  # earlier 0.y, since exports are only added.
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/QorvCryptManageConfigVersion.cmake
                                   COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/QorvCryptManageConfig.cmake
                ${PROJECT_BINARY_DIR}/packaging/QorvCryptManageConfigVersion.cmake
          DESTINATION ${QORV_INSTALL_CMAKEDIR} COMPONENT Development)

  # The pkg-config file names absolute paths: they are written when installing.
  set(QORV_INSTALL_PREFIX "@QORV_INSTALL_PREFIX@")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/qorvcryptmanage.pc.in ${PROJECT_BINARY_DIR}/packaging/qorvcryptmanage.pc.in
                 @ONLY)
  qorv_install_resolving_prefix(${PROJECT_BINARY_DIR}/packaging/qorvcryptmanage.pc.in
                                DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig NAME qorvcryptmanage.pc
                                COMPONENT Development)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows-sdk/README.md DESTINATION . COMPONENT Development)
endif()

set(CPACK_PACKAGE_NAME qorvcryptmanage)
set(CPACK_PACKAGE_VENDOR QorvCryptManage)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "QorvCryptManage maintainers <maintainers@qorvcryptmanage.invalid>")
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  # One zip per target holding both components, unpacked into a folder of its name.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(arch x86_64)
  else()
    set(arch i686)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_PACKAGE_FILE_NAME QorvCryptManage-sdk-${PROJECT_VERSION}-windows-${arch})
else()
  # Two packages, as Debian splits a library: qorvcryptmanage (the library, qorvcrypt,
  # the reference provider, the sample) and qorvcryptmanage-dev (headers, the .so link,
  # the CMake package, the pkg-config file). dpkg-shlibdeps finds their dependencies;
  # the shlibs entry lets hosts' packages depend on any version from this one on. The
  # first line of each description is the package's summary.
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME qorvcryptmanage)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME qorvcryptmanage-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
      "Encryption and certificate management for host programs\n The QorvCryptManage library, the qorvcrypt command, the reference provider (OpenSSL) and a sample configuration.")
  set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
      "Encryption and certificate management for host programs: development files\n The headers, the CMake package and the pkg-config file of QorvCryptManage.")
  set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS Runtime)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
endif()
include(CPack)
