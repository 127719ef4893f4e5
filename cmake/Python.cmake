# SPDX-License-Identifier: MIT
# VEXLITH_BUILD_PYTHON, the Python package in python/: on by default in a
# top-level build with its tests where Python's headers and pybind11 are found
# (Debian: python3-dev, pybind11-dev); setup.py turns it on for a wheel.
# Outside a virtual environment the system's interpreter is taken, whose
# packages give the tests numpy and pytest, rather than the first python3 on
# PATH, which may be another (a pyenv shim); -DPython3_EXECUTABLE names one.
set(VEXLITH_PYTHON_DEFAULT OFF)
if(PROJECT_IS_TOP_LEVEL AND VEXLITH_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
    if(NOT DEFINED Python3_EXECUTABLE AND NOT DEFINED ENV{VIRTUAL_ENV} AND EXISTS /usr/bin/python3)
        set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter")
    endif()
    find_package(Python3 COMPONENTS Interpreter Development.Module QUIET)
    find_package(pybind11 CONFIG QUIET)
    if(Python3_FOUND AND pybind11_FOUND)
        set(VEXLITH_PYTHON_DEFAULT ON)
    else()
        message(STATUS "No Python headers or pybind11: the Python package is not built")
    endif()
endif()
option(VEXLITH_BUILD_PYTHON "Build the Python package" ${VEXLITH_PYTHON_DEFAULT})
