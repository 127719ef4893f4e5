# SPDX-License-Identifier: MIT
"""Builds the Python package: the project's CMake builds the extension
_vexlith and installs it with the library and the toolkit's two libraries
into the package, where the extension finds them through its rpath."""
import os
import re
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        package = os.path.dirname(os.path.abspath(self.get_ext_fullpath(ext.name)))
        configure = ["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                     "-DVEXLITH_BUILD_PYTHON=ON", "-DVEXLITH_PYTHON_WHEEL=ON",
                     "-DVEXLITH_BUILD_TESTS=OFF", "-DVEXLITH_BUILD_TOOLS=OFF",
                     "-DPython3_EXECUTABLE=" + sys.executable]
        try:  # pybind11 from PyPI, in an isolated build; else the system's (pybind11-dev)
            import pybind11
            configure.append("-Dpybind11_DIR=" + pybind11.get_cmake_dir())
        except ImportError:
            pass
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", build, "--target", "_vexlith", "--parallel",
                        str(os.cpu_count() or 1)], check=True)
        subprocess.run(["cmake", "--install", build, "--component", "python", "--prefix",
                        os.path.dirname(package)], check=True)


def version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(vexlith\s+VERSION (\S+)", cmake.read()).group(1)


setup(version=version(), ext_modules=[Extension("vexlith._vexlith", sources=[])],
      cmdclass={"build_ext": CMakeBuild}, options={"build": {"build_base": "build/python"}})
