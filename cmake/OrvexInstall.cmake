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

target_include_directories(orvex_api INTERFACE $<INSTALL_INTERFACE:${ORVEX_INCLUDE_DIR}>)
set_target_properties(orvex_api PROPERTIES EXPORT_NAME headers)
install(TARGETS orvex_api EXPORT OrvexTargets)
install(TARGETS orvex_shared EXPORT OrvexTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev)
install(TARGETS orvex_static EXPORT OrvexTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(EXPORT OrvexTargets NAMESPACE Orvex:: DESTINATION ${ORVEX_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/OrvexConfig.cmake.in
  ${PROJECT_BINARY_DIR}/OrvexConfig.cmake INSTALL_DESTINATION ${ORVEX_CMAKE_DIR})
# 0.x releases keep their interface within a minor version.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvexConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/OrvexConfig.cmake ${PROJECT_BINARY_DIR}/OrvexConfigVersion.cmake
  DESTINATION ${ORVEX_CMAKE_DIR} COMPONENT dev)
# orvex.pc finds the prefix from its own folder, so an installation can move.
file(RELATIVE_PATH ORVEX_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(${PROJECT_SOURCE_DIR}/cmake/orvex.pc.in ${PROJECT_BINARY_DIR}/orvex.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orvex.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

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
endif()
