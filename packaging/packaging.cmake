# Installation, the scheduler units and the Debian package.
#
#   cmake --install build [--prefix DIR]    the programs, the units, the documentation
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

install(TARGETS SSTRXV sstrxv-encipher sstrxv-imp sstrxv-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The units' metrics helper, run by the service, not by people.
install(TARGETS sstrxv-metrics RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/sstrxv)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The format reference, once it is generated into the source tree.
install(FILES ${PROJECT_SOURCE_DIR}/docs/formats.md DESTINATION ${CMAKE_INSTALL_DOCDIR} OPTIONAL)
# The demo database of scripts/demo, to try the package against on a server
# of its own: the system schema (with its two functions), the tenant schema
# and the rows of two tenants.
install(FILES ${PROJECT_SOURCE_DIR}/tests/db/system_schema.sql ${PROJECT_SOURCE_DIR}/tests/db/tenant_schema.sql
              ${PROJECT_SOURCE_DIR}/demo/demo_data.sql
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The manual pages and the changelog, compressed as Debian wants them. The
# page of SSTRXV is written by hand (its usage text is the program's own);
# those of the tools are made from their --help by help2man.
set(SSTRXV_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(SSTRXV_COMPRESSED ${SSTRXV_MAN_DIR}/SSTRXV.1.gz ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${SSTRXV_COMPRESSED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SSTRXV_MAN_DIR}
  COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\" && gzip -9n -c \"$3\" >\"$4\""
          sh ${CMAKE_CURRENT_LIST_DIR}/man/SSTRXV.1 ${SSTRXV_MAN_DIR}/SSTRXV.1.gz
          ${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/SSTRXV.1 ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
  VERBATIM)
set(SSTRXV_MAN_PAGES ${SSTRXV_MAN_DIR}/SSTRXV.1.gz)
find_program(SSTRXV_HELP2MAN help2man)
if(SSTRXV_HELP2MAN)
  foreach(tool_and_name
          "encipher|encipher values for the SSTRXV settings file"
          "imp|read an SSTRXV interface file by the names of its fields"
          "check|check the set-up of an SSTRXV site before its first run")
    string(REPLACE "|" ";" tool_and_name "${tool_and_name}")
    list(GET tool_and_name 0 tool)
    list(GET tool_and_name 1 name)
    add_custom_command(OUTPUT ${SSTRXV_MAN_DIR}/sstrxv-${tool}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${SSTRXV_MAN_DIR}
      COMMAND sh -c "\"$1\" --no-info --name=\"$2\" \"$3\" | gzip -9n >\"$4\""
              sh ${SSTRXV_HELP2MAN} ${name} $<TARGET_FILE:sstrxv-${tool}> ${SSTRXV_MAN_DIR}/sstrxv-${tool}.1.gz
      DEPENDS sstrxv-${tool}
      VERBATIM)
    list(APPEND SSTRXV_MAN_PAGES ${SSTRXV_MAN_DIR}/sstrxv-${tool}.1.gz)
  endforeach()
else()
  message(WARNING "help2man not found: the tools are installed without manual pages")
endif()
add_custom_target(sstrxv_documentation ALL DEPENDS ${SSTRXV_COMPRESSED} ${SSTRXV_MAN_PAGES})
install(FILES ${SSTRXV_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(CODE "
  set(SSTRXV_UNIT_TEMPLATES \"${CMAKE_CURRENT_LIST_DIR}/systemd\")
  set(SSTRXV_UNIT_STAGING \"${PROJECT_BINARY_DIR}/packaging/units\")
  set(SSTRXV_UNIT_DIR \"${SSTRXV_SYSTEMD_UNIT_DIR}\")
  set(SSTRXV_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(SSTRXV_LIBEXECDIR \"${CMAKE_INSTALL_LIBEXECDIR}\")
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
  "enciphered database credentials of the product's settings file,\n"
  "sstrxv-check checks a site's set-up, and sstrxv-imp shows and checks an\n"
  "interface file by the names of its fields. The systemd units\n"
  "sstrxv@.service and sstrxv@.timer run one file type each.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The MariaDB client library and the C++ runtime, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
