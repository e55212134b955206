# SPDX-License-Identifier: Apache-2.0
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
set(CPACK_PACKAGE_CONTACT "Orvex developers <orvex-dev@lists.orvex.org>")
# No CPACK_PACKAGE_DESCRIPTION_SUMMARY: cpack would put it before every
# package's own synopsis, the first line of its description below.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs and libraries are stripped; liborvex.a loses its debug
# information when installed (OrvexInstall.cmake).
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs need liborvex.so.0 of this build, which no installed
# package provides yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvex.invalid/")

set(orvex_same_library "liborvex0 (= ${PROJECT_VERSION})")

# Each description is the synopsis (under 80 characters, no article first)
# and then the long description, whose lines cpack indents by one space
# (an empty line parts two paragraphs).
set(CPACK_DEBIAN_LIB_PACKAGE_NAME ${ORVEX_PACKAGE_lib})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# dpkg's ldconfig trigger brings liborvex.so.0 into the linker cache.  cpack
# writes a postinst and postrm of its own that call ldconfig unless the
# package names its own; it has none, so the names point at nothing and
# neither script is made.
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/cmake/debian/triggers ${PROJECT_BINARY_DIR}/no-maintainer-script/postinst
    ${PROJECT_BINARY_DIR}/no-maintainer-script/postrm)
set(CPACK_DEBIAN_LIB_DESCRIPTION "library that lays out and burns data discs
Orvex builds ISO 9660, Joliet, ISO 9660:1999, UDF 1.50 and El Torito images
from a tree of files and folders, and writes them to CD, DVD and Blu-ray
discs through SCSI MultiMedia Commands. It also erases rewritable media,
verifies what was burned and imports earlier sessions of a multi-session
disc.

This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${ORVEX_PACKAGE_dev})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${orvex_same_library}")
# The virtual burner's control header is here; its driver library comes
# with orvex.
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "orvex (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_DESCRIPTION "development files of the Orvex disc writing library
Orvex builds ISO 9660, Joliet, ISO 9660:1999, UDF and El Torito images and
burns them to CD, DVD and Blu-ray discs.

This package holds the headers, the static library, the CMake package
(find_package(Orvex)) and the pkg-config file, the schemas of the JSON
that orvex prints, and the control header of the virtual burner, with
which a project's own tests inject drive faults.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${ORVEX_PACKAGE_tools})
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${orvex_same_library}")
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "command-line data disc writer with a virtual burner
orvex makes ISO 9660, Joliet and UDF images, burns files and images to CD,
DVD and Blu-ray discs, and erases, verifies and lists discs.

orvex-vburner and its driver library emulate burners and their media, so
that burning can be tried without a drive; the emulated drives can also
appear to the kernel as real SCSI devices for other burning programs.")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME ${ORVEX_PACKAGE_desktop})
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "${orvex_same_library}")
# Without a drive the window offers the virtual burner, which comes with orvex.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "orvex (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "desktop data disc writer built on Orvex
A Qt 6 window over the Orvex library: drag folders and files onto it and
burn them to a CD, DVD or Blu-ray disc or save them as an ISO image. It
also erases rewritable media, verifies discs and shows what the drives
and their media can do.")

# The components OrvexInstall.cmake installs, each a package named there.
set(CPACK_COMPONENTS_ALL ${ORVEX_COMPONENTS})
include(CPack)
