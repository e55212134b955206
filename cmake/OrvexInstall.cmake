# SPDX-License-Identifier: Apache-2.0
# What `cmake --install` puts where, in the GNU directories, by package:
#   lib      the shared library
#   dev      the headers, the static library, the CMake package, orvex.pc
#   tools    orvex, orvex-vburner and the burner's driver library
#   desktop  orvex-demo, its desktop entry and icon
# The man pages, completions and JSON schemas are installed beside the
# rules that generate them.
include(CMakePackageConfigHelpers)

set(ORVEX_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/orvex)
set(ORVEX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Orvex)

# component/orvex.h and every project header it includes, directly or not,
# each in its folder, so that applications include "component/orvex.h" as
# the project does.  The list is read from the headers themselves (and read
# again when one changes), so that a new include cannot leave an installed
# header that does not compile.
set(ORVEX_PUBLIC_HEADERS component/orvex.h)
set(unread component/orvex.h)
while(unread)
  list(POP_FRONT unread header)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header})
  file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^#include \"[a-z_]+/[a-z0-9_]+\\.h\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
    if(NOT included IN_LIST ORVEX_PUBLIC_HEADERS)
      list(APPEND ORVEX_PUBLIC_HEADERS ${included})
      list(APPEND unread ${included})
    endif()
  endforeach()
endwhile()
foreach(header IN LISTS ORVEX_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${ORVEX_INCLUDE_DIR}/${folder} COMPONENT dev)
endforeach()

# The virtual burner's control header, for projects whose tests drive the
# burner (its driver library comes with the tools).
install(FILES ${PROJECT_SOURCE_DIR}/vburner/vburner.h DESTINATION ${ORVEX_INCLUDE_DIR}/vburner COMPONENT dev)

target_include_directories(orvex_api INTERFACE $<INSTALL_INTERFACE:${ORVEX_INCLUDE_DIR}>)
set_target_properties(orvex_api PROPERTIES EXPORT_NAME headers)
install(TARGETS orvex_api EXPORT OrvexTargets)
install(TARGETS orvex_shared EXPORT OrvexTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev)
install(TARGETS orvex_static EXPORT OrvexTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
# A stripping install (cpack, cmake --install --strip) strips the programs
# and the shared libraries only; the static library then loses its debug
# information here, which is most of its size.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:orvex_static>\"
    COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT dev)
install(EXPORT OrvexTargets NAMESPACE Orvex:: DESTINATION ${ORVEX_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/OrvexConfig.cmake.in
  ${PROJECT_BINARY_DIR}/OrvexConfig.cmake INSTALL_DESTINATION ${ORVEX_CMAKE_DIR})
# 0.x releases keep their interface within a minor version.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvexConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/OrvexConfig.cmake ${PROJECT_BINARY_DIR}/OrvexConfigVersion.cmake
  DESTINATION ${ORVEX_CMAKE_DIR} COMPONENT dev)
# orvex.pc names the prefix it is installed under (/usr/include/orvex, not a
# path through its own folder), so it is written when the prefix is known:
# at install time, which `cmake --install --prefix` may change.
install(CODE "set(ORVEX_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
set(ORVEX_PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
set(ORVEX_PC_INCLUDEDIR \"${ORVEX_INCLUDE_DIR}\")
set(ORVEX_PC_VERSION \"${PROJECT_VERSION}\")
set(pc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/orvex.pc\")
message(STATUS \"Installing: \${pc}\")
configure_file(\"${PROJECT_SOURCE_DIR}/cmake/orvex.pc.in\" \"\${pc}\" @ONLY)" COMPONENT dev)

# The programs find liborvex.so.0 relative to themselves too, so that an
# installation under any prefix runs without LD_LIBRARY_PATH or ldconfig.
file(RELATIVE_PATH ORVEX_BIN_TO_LIB /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(orvex_tool PROPERTIES INSTALL_RPATH "$ORIGIN/${ORVEX_BIN_TO_LIB}")
install(TARGETS orvex_tool orvex-vburner RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(TARGETS orvex_vburner LIBRARY DESTINATION ${ORVEX_DRIVER_DIR} COMPONENT tools)

if(TARGET orvex-demo)
  set_target_properties(orvex-demo PROPERTIES INSTALL_RPATH "$ORIGIN/${ORVEX_BIN_TO_LIB}")
  install(TARGETS orvex-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/demo/orvex-demo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
          COMPONENT desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/demo/orvex-demo.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${ORVEX_DEMO_DOC_DIR} COMPONENT desktop)
  install(FILES ${PROJECT_BINARY_DIR}/share/man/man1/orvex-demo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT desktop)
endif()

# Every package carries the licence (a machine-readable copyright file) and
# the changelog, compressed, in its folder of share/doc.
set(orvex_changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${orvex_changelog}
                   COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog
                   COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/debian/changelog
                   DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog COMMENT "Compressing the changelog")
add_custom_target(orvex_changelog ALL DEPENDS ${orvex_changelog})
# The Debian package of each component (OrvexPackage.cmake makes them), and
# the components this build installs.
set(ORVEX_PACKAGE_lib liborvex0)
set(ORVEX_PACKAGE_dev liborvex-dev)
set(ORVEX_PACKAGE_tools orvex)
set(ORVEX_PACKAGE_desktop orvex-demo)
set(ORVEX_COMPONENTS lib dev tools)
if(TARGET orvex-demo)
  list(APPEND ORVEX_COMPONENTS desktop)
endif()
foreach(component IN LISTS ORVEX_COMPONENTS)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${orvex_changelog}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${ORVEX_PACKAGE_${component}} COMPONENT ${component})
endforeach()
