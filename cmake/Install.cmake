# SPDX-License-Identifier: MIT
# Installation: the libraries, the public headers under include/vexlith/, the
# tool, the JSON schema under share/doc/vexlith/, a CMake package
# (find_package(vexlith) gives vexlith::vexlith) and a pkg-config file.
include(CMakePackageConfigHelpers)

set_target_properties(pellund PROPERTIES EXPORT_NAME pellund)
set_target_properties(corvane PROPERTIES EXPORT_NAME corvane)
set_target_properties(pellund_headers PROPERTIES EXPORT_NAME pellund_headers)
set_target_properties(vexlith pellund corvane PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS vexlith pellund corvane pellund_headers
    EXPORT vexlith-targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vexlith)
install(FILES toolkit/pellund/pellund.h toolkit/corvane/corvane.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vexlith)
# The documents the manual page and the tool's help name.
install(FILES docs/json.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(VEXLITH_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vexlith)
install(EXPORT vexlith-targets NAMESPACE vexlith:: DESTINATION ${VEXLITH_CMAKE_DIR})
configure_package_config_file(cmake/vexlith-config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/vexlith-config.cmake
    INSTALL_DESTINATION ${VEXLITH_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/vexlith-config-version.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/vexlith-config.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/vexlith-config-version.cmake
    DESTINATION ${VEXLITH_CMAKE_DIR})

# pkg-config: prefix from the .pc file's own place, however deep libdir lies
# (lib, lib64, lib/x86_64-linux-gnu), and libdir and includedir from it. A
# libdir or includedir given as an absolute path is written as it is.
file(RELATIVE_PATH VEXLITH_PC_TO_PREFIX
    ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" VEXLITH_PC_TO_PREFIX "${VEXLITH_PC_TO_PREFIX}")
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(VEXLITH_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
    set(VEXLITH_PC_PREFIX "\${pcfiledir}/${VEXLITH_PC_TO_PREFIX}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
        set(VEXLITH_PC_${dir} ${CMAKE_INSTALL_${dir}})
    else()
        set(VEXLITH_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
    endif()
endforeach()
configure_file(cmake/vexlith.pc.in ${CMAKE_CURRENT_BINARY_DIR}/vexlith.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vexlith.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
