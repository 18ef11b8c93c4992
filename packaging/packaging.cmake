# Installation, the scheduler units and the Debian package.
#
#   cmake --install build [--prefix DIR]    the two programs, the units, the documentation
#   cpack --config build/CPackConfig.cmake  build/sstrxv_<version>_<arch>.deb
#
# The units are written at installation time, so that the program path in
# them is the one of the prefix installed to: /usr/bin/SSTRXV in the package,
# DIR/bin/SSTRXV after `cmake --install build --prefix DIR`.

set(CMAKE_INSTALL_DOCDIR "share/doc/sstrxv" CACHE PATH "Documentation directory (DATAROOTDIR/doc/sstrxv)")
include(GNUInstallDirs)

set(SSTRXV_PRODUCT_ROOT "/opt/melvarion" CACHE PATH
  "Root of the product's directory tree on the server; the units run the program in <root>/bin/sstrxv")
set(SSTRXV_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE STRING
  "Directory of the systemd units, relative to the installation prefix unless absolute")
set(SSTRXV_PACKAGE_MAINTAINER "SSTRXV developers <sstrxv@example.org>" CACHE STRING
  "Maintainer field of the Debian package")

install(TARGETS SSTRXV sstrxv-encipher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The format reference, once it is generated into the source tree.
install(FILES ${PROJECT_SOURCE_DIR}/docs/formats.md DESTINATION ${CMAKE_INSTALL_DOCDIR} OPTIONAL)

install(CODE "
  set(SSTRXV_UNIT_TEMPLATES \"${CMAKE_CURRENT_LIST_DIR}/systemd\")
  set(SSTRXV_UNIT_STAGING \"${PROJECT_BINARY_DIR}/packaging/units\")
  set(SSTRXV_UNIT_DIR \"${SSTRXV_SYSTEMD_UNIT_DIR}\")
  set(SSTRXV_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(SSTRXV_DOCDIR \"${CMAKE_INSTALL_DOCDIR}\")
  set(SSTRXV_PRODUCT_ROOT \"${SSTRXV_PRODUCT_ROOT}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install_units.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sstrxv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SSTRXV_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SSTRXV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "batch exporter of Melvarion data into Pollarix terminal interface files")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "SSTRXV reads the MySQL database of the Melvarion time-and-attendance and\n"
  "access-control product and writes one fixed-width interface file per run\n"
  "for the Pollarix terminal-management system. sstrxv-encipher writes the\n"
  "enciphered database credentials of the product's settings file. The\n"
  "systemd units sstrxv@.service and sstrxv@.timer run one file type each.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The MariaDB client library and the C++ runtime, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
