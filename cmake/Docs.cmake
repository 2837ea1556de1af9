# The HTML reference of the public headers (target veltosdk_docs, output in html/). Every
# warning fails the build, so an undocumented public name does.
find_package(Doxygen REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
add_custom_target(veltosdk_docs
    COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    COMMENT "Building the reference with Doxygen"
    VERBATIM)
