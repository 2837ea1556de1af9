# cmake --install with VELTOSDK_INSTALL_TOOLS: velto-fire and velto-collector in bin/.
if(NOT VELTOSDK_BUILD_TOOLS)
    message(FATAL_ERROR "VELTOSDK_INSTALL_TOOLS needs VELTOSDK_BUILD_TOOLS")
endif()
include(GNUInstallDirs)
install(TARGETS velto-fire velto-collector
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
