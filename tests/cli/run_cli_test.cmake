# SPDX-License-Identifier: MIT
# Runs TOOL with ARGUMENTS ("|"-separated) in WORKDIR, with ENVIRONMENT
# (NAME=VALUE) when given, and compares stdout, stderr and the exit status
# with EXPECTED.stdout, .stderr and .status.
# Timings vary from run to run and are masked, and so is OUTDIR, the folder
# for files the tool writes, shown as "(out)". With -DUPDATE=1, or with
# VEXLITH_UPDATE_EXPECTED=1 in the environment of ctest, the expected files
# are written from this run instead.
if(DEFINED ENV{VEXLITH_UPDATE_EXPECTED})
    set(UPDATE ON)
endif()
string(REPLACE "|" ";" arguments "${ARGUMENTS}")
set(command ${TOOL})
if(ENVIRONMENT)
    set(command ${CMAKE_COMMAND} -E env ${ENVIRONMENT} ${TOOL})
endif()
execute_process(COMMAND ${command} ${arguments}
    WORKING_DIRECTORY ${WORKDIR}
    OUTPUT_VARIABLE stdout
    ERROR_VARIABLE stderr
    RESULT_VARIABLE status)
# Windows ends the lines of standard output and error with CR LF.
string(REPLACE "\r\n" "\n" stdout "${stdout}")
string(REPLACE "\r\n" "\n" stderr "${stderr}")
string(REGEX REPLACE "read in: +[0-9.]+ ms" "read in: (time)" stdout "${stdout}")
if(OUTDIR)
    string(REPLACE "${OUTDIR}" "(out)" stdout "${stdout}")
    string(REPLACE "${OUTDIR}" "(out)" stderr "${stderr}")
endif()

set(mismatch "")
foreach(stream stdout stderr status)
    if(UPDATE)
        # An empty stream needs no file: a missing file stands for nothing.
        if("${${stream}}" STREQUAL "")
            file(REMOVE ${EXPECTED}.${stream})
        else()
            file(WRITE ${EXPECTED}.${stream} "${${stream}}")
        endif()
        continue()
    endif()
    if(EXISTS ${EXPECTED}.${stream})
        file(READ ${EXPECTED}.${stream} expected)
    else()
        set(expected "")
    endif()
    if(NOT "${${stream}}" STREQUAL "${expected}")
        string(APPEND mismatch "--- expected ${stream}:\n${expected}\n--- actual ${stream}:\n${${stream}}\n")
    endif()
endforeach()
if(mismatch)
    message(FATAL_ERROR "vexlith ${arguments}: output differs\n${mismatch}")
endif()
