"""Builds the module `plover` with CMake: the engine and its pybind11 front-end in python/.
Nothing is downloaded; pybind11, numpy and the engine's libraries come from Debian packages."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        # Two levels below the source like the usual build/test: ccache then shares the objects.
        build = ROOT / "build" / "python"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DPLOVER_BUILD_PYTHON=ON", "-DPLOVER_BUILD_TESTS=OFF", "-DPLOVER_BUILD_BENCH=OFF",
                        f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "plover_python", "-j", str(os.cpu_count() or 1)],
                       check=True)
        built = [p for p in (build / "python").glob("plover*.so")]
        if len(built) != 1:
            raise RuntimeError(f"expected one built module in {build / 'python'}, found {built}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


setup(ext_modules=[Extension("plover", sources=[])], cmdclass={"build_ext": CMakeBuild}, packages=[], py_modules=[])
