"""pip install .: the module clearing._native built by the project's CMake
(its flags: -ffp-contract=off, no -march=native, no -ffast-math), with the
interpreter that runs pip; the package's Python files from python/clearing."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(clearing VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        build = Path(self.build_temp).resolve() / "cmake"
        args = [
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DCLEARING_TESTS=OFF",
            "-DCLEARING_PYTHON_REQUIRED=ON",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ]
        try:
            import pybind11

            args.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass  # Debian's pybind11-dev: CMake finds it by itself
        subprocess.run(args, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build), "--target", "clearing_python", "-j", jobs], check=True)
        built = next((build / "python" / "clearing").glob("_native*"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=version(),
    packages=["clearing"],
    package_dir={"": "python"},
    package_data={"clearing": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("clearing._native", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # Not build/: that is the CMake build of make and the README.
    options={"build": {"build_base": "build-python"}},
)
