"""cmake --install puts the package where the install prefix's Python looks for it."""
import os
import pathlib
import subprocess
import sys

import pytest

BUILD = os.environ["PANDRY_BUILD"]


def install(prefix, destdir=None):
    env = dict(os.environ, DESTDIR=str(destdir)) if destdir else None
    subprocess.run(["cmake", "--install", BUILD, "--prefix", str(prefix)], check=True, env=env,
                   stdout=subprocess.DEVNULL)


def python(code, **env):
    """Runs code in a fresh interpreter that knows nothing of the build tree."""
    clean = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    return subprocess.run([sys.executable, "-c", code], check=True, capture_output=True,
                          text=True, env=dict(clean, **env), cwd="/").stdout.strip()


# A user prefix (~/.local): Python finds the package without any PYTHONPATH.
def test_user_prefix_is_on_the_user_site(tmp_path):
    install(tmp_path)
    where = python("import pandry; print(pandry.__file__, pandry.__version__)",
                   PYTHONUSERBASE=str(tmp_path))
    assert where.startswith(str(tmp_path)), where


# The system prefixes: the package lands in a folder the interpreter itself searches.
@pytest.mark.parametrize("prefix", ["/usr", "/usr/local"])
def test_system_prefix_lands_on_the_interpreters_path(tmp_path, prefix):
    install(prefix, destdir=tmp_path)
    [init] = tmp_path.glob("**/pandry/__init__.py")
    folder = "/" + str(init.parent.parent.relative_to(tmp_path))
    assert folder in python("import sys; print(sys.path)", PYTHONNOUSERSITE="1")
    assert python("import pandry; print(pandry.__file__)", PYTHONPATH=str(init.parent.parent)) \
        == str(init)
