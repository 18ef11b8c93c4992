# Runs at installation time (install(SCRIPT)): writes the systemd units from
# their templates with the program path under the prefix being installed to,
# then installs them like any other file (DESTDIR and the install manifest
# included). The variables SSTRXV_* are set by packaging.cmake just before.

if(IS_ABSOLUTE "${SSTRXV_BINDIR}")
  set(SSTRXV_PROGRAM "${SSTRXV_BINDIR}/SSTRXV")
else()
  set(SSTRXV_PROGRAM "${CMAKE_INSTALL_PREFIX}/${SSTRXV_BINDIR}/SSTRXV")
endif()
if(IS_ABSOLUTE "${SSTRXV_LIBEXECDIR}")
  set(SSTRXV_METRICS "${SSTRXV_LIBEXECDIR}/sstrxv/sstrxv-metrics")
else()
  set(SSTRXV_METRICS "${CMAKE_INSTALL_PREFIX}/${SSTRXV_LIBEXECDIR}/sstrxv/sstrxv-metrics")
endif()
if(NOT IS_ABSOLUTE "${SSTRXV_DOCDIR}")
  set(SSTRXV_DOCDIR "${CMAKE_INSTALL_PREFIX}/${SSTRXV_DOCDIR}")
endif()
if(NOT IS_ABSOLUTE "${SSTRXV_UNIT_DIR}")
  set(SSTRXV_UNIT_DIR "${CMAKE_INSTALL_PREFIX}/${SSTRXV_UNIT_DIR}")
endif()

set(units)
foreach(unit sstrxv@.service sstrxv@.timer)
  configure_file("${SSTRXV_UNIT_TEMPLATES}/${unit}.in" "${SSTRXV_UNIT_STAGING}/${unit}" @ONLY)
  list(APPEND units "${SSTRXV_UNIT_STAGING}/${unit}")
endforeach()
file(INSTALL DESTINATION "${SSTRXV_UNIT_DIR}" TYPE FILE FILES ${units})
