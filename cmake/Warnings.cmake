# SPDX-License-Identifier: MIT
# Warnings for every target of the project.
function(vexlith_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VEXLITH_WARNINGS_AS_ERRORS}>:/WX>)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion
            -Wno-sign-conversion $<$<BOOL:${VEXLITH_WARNINGS_AS_ERRORS}>:-Werror>)
    endif()
endfunction()
