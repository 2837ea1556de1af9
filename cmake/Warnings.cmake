# Warnings for the project's own targets.
function(veltosdk_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(VELTOSDK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
