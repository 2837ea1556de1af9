# cmake --install: headers, the library, a CMake package (VeltoSDK::VeltoSDK) and VeltoSDK.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELTOSDK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VeltoSDK)
set(VELTOSDK_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Components, one per Debian package: runtime (the shared object under its SONAME) and dev
# (everything a build needs: headers, the unversioned link, the static archive, CMake and
# pkg-config files).
install(TARGETS VeltoSDK EXPORT VeltoSDKTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/VeltoSDK
    ${VELTOSDK_GENERATED_INCLUDE_DIR}/VeltoSDK
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT VeltoSDKTargets
    NAMESPACE VeltoSDK::
    DESTINATION ${VELTOSDK_CMAKE_DIR} COMPONENT dev)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VeltoSDKConfig.cmake.in
    ${PROJECT_BINARY_DIR}/VeltoSDKConfig.cmake
    INSTALL_DESTINATION ${VELTOSDK_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VeltoSDKConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/VeltoSDKConfig.cmake
    ${PROJECT_BINARY_DIR}/VeltoSDKConfigVersion.cmake
    DESTINATION ${VELTOSDK_CMAKE_DIR} COMPONENT dev)

# The .pc file finds its prefix relative to itself, so the tree can be installed anywhere.
file(RELATIVE_PATH VELTOSDK_PC_PREFIX_FROM_PCDIR
    ${CMAKE_INSTALL_PREFIX}/${VELTOSDK_PKGCONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" VELTOSDK_PC_PREFIX_FROM_PCDIR "${VELTOSDK_PC_PREFIX_FROM_PCDIR}")
# A C program linking the static library also needs the C++ runtime the C linker leaves out.
set(VELTOSDK_PC_LIBS_PRIVATE "-pthread")
foreach(lib IN LISTS CMAKE_CXX_IMPLICIT_LINK_LIBRARIES)
    if(NOT lib IN_LIST CMAKE_C_IMPLICIT_LINK_LIBRARIES)
        string(APPEND VELTOSDK_PC_LIBS_PRIVATE " -l${lib}")
    endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/VeltoSDK.pc.in ${PROJECT_BINARY_DIR}/VeltoSDK.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/VeltoSDK.pc DESTINATION ${VELTOSDK_PKGCONFIG_DIR} COMPONENT dev)
