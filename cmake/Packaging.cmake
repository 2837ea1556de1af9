# VELTOSDK_PACKAGE_DEB: cpack builds one Debian package per install component, shaped as
# Debian's own library packages are. Meant for a shared Release build installed under /usr
# (./dev package does that).
if(NOT VELTOSDK_INSTALL)
    message(FATAL_ERROR "VELTOSDK_PACKAGE_DEB needs VELTOSDK_INSTALL")
endif()
include(GNUInstallDirs)

set(VELTOSDK_DEB_RUNTIME libveltosdk${PROJECT_VERSION_MAJOR})
set(VELTOSDK_DEB_DEV libveltosdk-dev)
set(VELTOSDK_DEB_TOOLS veltosdk-tools)
set(VELTOSDK_DEB_MAINTAINER "VeltoSDK for C++ developers <veltosdk@example.org>")
set(VELTOSDK_DEB_REVISION 1)

# Each package carries the licence as its copyright file and a Debian changelog, compressed
# without a time stamp so that rebuilds give the same bytes.
set(VELTOSDK_DEB_CHANGELOG ${PROJECT_BINARY_DIR}/debian/changelog.Debian)
string(TIMESTAMP VELTOSDK_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${VELTOSDK_DEB_CHANGELOG}
    "veltosdk (${PROJECT_VERSION}-${VELTOSDK_DEB_REVISION}) stable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}; CHANGELOG.md in the source tree lists the changes.\n\n"
    " -- ${VELTOSDK_DEB_MAINTAINER}  ${VELTOSDK_DEB_DATE}\n")
find_program(VELTOSDK_GZIP gzip REQUIRED)
execute_process(COMMAND ${VELTOSDK_GZIP} -9nf ${VELTOSDK_DEB_CHANGELOG} COMMAND_ERROR_IS_FATAL ANY)
foreach(component runtime dev tools)
    string(TOUPPER ${component} upper)
    set(package ${VELTOSDK_DEB_${upper}})
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE RENAME copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
    install(FILES ${VELTOSDK_DEB_CHANGELOG}.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltosdk)
set(CPACK_PACKAGE_VENDOR "VeltoSDK for C++ developers")
set(CPACK_PACKAGE_CONTACT ${VELTOSDK_DEB_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://veltosdk.example.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(VELTOSDK_INSTALL_TOOLS)
    list(APPEND CPACK_COMPONENTS_ALL tools)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELTOSDK_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tools link the library of this same build, which no installed package provides yet.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/Sourcefiles)
# The run-time package declares its library for dpkg-shlibdeps and has ldconfig run by a
# trigger, as Debian's library packages do (CPack's own shlibs option adds maintainer scripts).
file(WRITE ${PROJECT_BINARY_DIR}/debian/shlibs
    "libVeltoSDK ${PROJECT_VERSION_MAJOR} ${VELTOSDK_DEB_RUNTIME} (>= ${PROJECT_VERSION})\n")
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/debian/shlibs ${PROJECT_BINARY_DIR}/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(exact "(= ${PROJECT_VERSION}-${VELTOSDK_DEB_REVISION})")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# CPack indents the lines after the first (the synopsis) itself.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "reports an app's conversion events (shared library)
VeltoSDK is a small library that an app links to report conversion events
to a conversion-tracking service: one HTTP POST per event, handed to an
asynchronous client, with the answer written as one log line.
.
This package holds the shared library.")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "${VELTOSDK_DEB_RUNTIME} ${exact}, libcurl4-openssl-dev | libcurl-dev, libicu-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION "reports an app's conversion events (development files)
VeltoSDK is a small library that an app links to report conversion events
to a conversion-tracking service.
.
This package holds the C and C++ headers, the CMake package
(VeltoSDK::VeltoSDK) and the pkg-config file.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${VELTOSDK_DEB_RUNTIME} ${exact}")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "fires conversion events and collects them locally
velto-fire sends events through the VeltoSDK library from the command line;
velto-collector is a local collection endpoint that checks and shows what
it receives.")

include(CPack)
