# Where `cmake --install` and the packages put each kind of file, relative to the prefix
# chosen when installing. On Debian and its kin the libraries go to the multiarch folder
# whatever the prefix: the dynamic loader, pkg-config and find_package search it under
# /usr/local and /usr alike, so a local install and the .deb share one layout.
if(NOT WIN32 AND CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (LIBDIR)")
endif()
if(NOT DEFINED CMAKE_INSTALL_DOCDIR)
  # Debian names a package's documentation folder after the package.
  set(CMAKE_INSTALL_DOCDIR share/doc/qorvcryptmanage CACHE PATH "Documentation (DOCDIR)")
endif()
include(GNUInstallDirs)

# Provider libraries are loaded by path, never linked: a folder of their own.
set(QORV_INSTALL_PROVIDERDIR ${CMAKE_INSTALL_LIBDIR}/qorvcryptmanage)
set(QORV_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/qorvcryptmanage)
set(QORV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/QorvCryptManage)

# Installs FILE to DESTINATION (as NAME) with every @QORV_INSTALL_PREFIX@ in it replaced
# by the prefix being installed into, so that the paths it names follow
# `cmake --install BUILD --prefix DIR` and the packages' /usr. With XML, the prefix is
# written as XML text.
function(qorv_install_resolving_prefix file)
  cmake_parse_arguments(PARSE_ARGV 1 arg "XML" "DESTINATION;NAME;COMPONENT" "")
  install(FILES ${file} DESTINATION ${arg_DESTINATION} RENAME ${arg_NAME} COMPONENT ${arg_COMPONENT})
  if(IS_ABSOLUTE "${arg_DESTINATION}")
    set(installed "\$ENV{DESTDIR}${arg_DESTINATION}/${arg_NAME}")
  else()
    set(installed "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${arg_DESTINATION}/${arg_NAME}")
  endif()
  set(escape "")
  if(arg_XML)
    set(escape "string(REPLACE \"&\" \"&amp;\" prefix \"\${prefix}\")\n  string(REPLACE \"<\" \"&lt;\" prefix \"\${prefix}\")")
  endif()
  install(CODE "
  get_filename_component(prefix \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  ${escape}
  file(READ \"${installed}\" text)
  string(REPLACE \"@QORV_INSTALL_PREFIX@\" \"\${prefix}\" text \"\${text}\")
  file(WRITE \"${installed}\" \"\${text}\")" COMPONENT ${arg_COMPONENT})
endfunction()
