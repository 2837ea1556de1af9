# -DVELTOSDK_SANITIZE=address builds everything with ASan + UBSan, =thread with TSan.
if(VELTOSDK_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
    # GCC 12 then sees uninitialised reads inside libstdc++'s std::function and std::regex that
    # cannot happen; with -Werror they would stop the build.
    add_compile_options($<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
elseif(VELTOSDK_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT VELTOSDK_SANITIZE STREQUAL "")
    message(FATAL_ERROR "VELTOSDK_SANITIZE must be address, thread or empty")
endif()
