# SPDX-License-Identifier: MIT
# VEXLITH_SANITIZE builds everything with the given sanitizers; any finding
# ends the program, so a test that trips one fails.
if(VEXLITH_SANITIZE)
    add_compile_options(-fsanitize=${VEXLITH_SANITIZE} -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${VEXLITH_SANITIZE})
endif()
