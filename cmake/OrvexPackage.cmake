# `cpack` makes four Debian packages from the install components:
#   liborvex0    the shared library
#   liborvex-dev headers, static library, CMake package, orvex.pc, schemas
#   orvex        the command line, the virtual burner and its driver library
#   orvex-demo   the desktop program
# dpkg-shlibdeps adds what each needs of the system; the dependencies
# between the four are named here, each on the same version.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvex developers <orvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "data disc writer: ISO 9660, Joliet, UDF and El Torito images, CD, DVD and BD burning")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs need liborvex.so.0 of this build, which no installed
# package provides yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvex.invalid/")

set(orvex_same_library "liborvex0 (= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_LIB_PACKAGE_NAME liborvex0)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_LIB_DESCRIPTION "Orvex: the library that lays out and burns data discs
 The shared library of Orvex: content trees, ISO 9660, Joliet, ISO 9660:1999,
 UDF 1.50 and El Torito images, burning to CD, DVD and Blu-ray drives by
 SCSI MultiMedia Commands, erasing, verifying and multi-session import.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME liborvex-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${orvex_same_library}")
set(CPACK_DEBIAN_DEV_DESCRIPTION "Orvex: development files
 Headers, the static library, the CMake package (find_package(Orvex)) and
 the pkg-config file of Orvex, and the schemas of orvex's JSON output.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME orvex)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${orvex_same_library}")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "Orvex: command-line disc writer and virtual burner
 orvex makes images, burns files and images to CD, DVD and Blu-ray discs,
 erases, verifies and lists discs; orvex-vburner and its driver library
 emulate burners and media, so everything can be tried without a drive.")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME orvex-demo)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "${orvex_same_library}")
# Without a drive the window offers the virtual burner, which comes with orvex.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "orvex (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "Orvex: desktop disc writer
 A Qt 6 window over the Orvex library: drag folders and files onto it and
 burn them to a disc or save them as an ISO image; erase, verify and
 inspect drives and media.")

set(CPACK_COMPONENTS_ALL lib dev tools)
if(TARGET orvex-demo)
  list(APPEND CPACK_COMPONENTS_ALL desktop)
endif()
include(CPack)
