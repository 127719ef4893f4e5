# SPDX-License-Identifier: MIT
# The public headers as a host sees them, in the build tree as once installed:
# <build>/include/vexlith/ holds vexlith.h, pellund.h, corvane.h and the
# generated vexlith_version.h, so that #include <vexlith/vexlith.h> works for
# a project that adds vexlith with add_subdirectory or FetchContent.
set(VEXLITH_PUBLIC_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)
set(VEXLITH_PUBLIC_HEADERS
    ${PROJECT_SOURCE_DIR}/src/model/vexlith.h
    ${PROJECT_SOURCE_DIR}/toolkit/pellund/pellund.h
    ${PROJECT_SOURCE_DIR}/toolkit/corvane/corvane.h)
foreach(header IN LISTS VEXLITH_PUBLIC_HEADERS)
    get_filename_component(name ${header} NAME)
    configure_file(${header} ${VEXLITH_PUBLIC_INCLUDE_DIR}/vexlith/${name} COPYONLY)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vexlith_version.h.in
    ${VEXLITH_PUBLIC_INCLUDE_DIR}/vexlith/vexlith_version.h @ONLY)
