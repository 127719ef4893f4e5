# SPDX-License-Identifier: MIT
# Packages through CPack: `cpack -G DEB` in a build folder (or the deb
# preset) makes a .deb with everything the install holds: the libraries, the
# headers, vexlith.pc, the CMake package, the tool, its manual page and its
# bash completion. Configured with prefix /usr, the libraries go where Debian
# puts them (lib/<multiarch>, from GNUInstallDirs).
install(FILES LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME vexlith)
set(CPACK_PACKAGE_VENDOR "the vexlith authors")
set(CPACK_PACKAGE_CONTACT "the vexlith authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "A C++20 shared library with a plain C interface that reads and writes DXF drawings, and the vexlith command-line tool.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# What the binaries load besides their own libraries; dpkg-shlibdeps would
# find the same, but only where dpkg-dev is installed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")
# The dynamic linker's cache learns of the libraries on install and removal.
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
include(CPack)
