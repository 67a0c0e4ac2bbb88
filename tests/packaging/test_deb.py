"""The desktop files pass Debian's checks, and the Debian package unpacks and runs."""
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

BUILD = pathlib.Path(os.environ["PANDRY_BUILD"])
RESOURCES = pathlib.Path(os.environ["PANDRY_SOURCE"]) / "resources"
CHECKS = [("desktop-file-validate", "pandry.desktop"),
          ("appstreamcli", "validate", "--no-net", "--pedantic", "org.pandry.Pandry.metainfo.xml")]


@pytest.mark.parametrize("check", CHECKS, ids=[check[0] for check in CHECKS])
def test_desktop_files_pass_debians_checks(check):
    if not shutil.which(check[0]):
        pytest.skip(f"{check[0]} is not installed (scripts/install-deps.sh installs it)")
    *command, name = check
    done = subprocess.run([*command, RESOURCES / name], capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr


@pytest.fixture(scope="module")
def unpacked(tmp_path_factory):
    packages = sorted(BUILD.glob("pandry_*_amd64.deb"))
    if not packages:
        pytest.skip(f"no package in {BUILD}: make deb makes it")
    root = tmp_path_factory.mktemp("deb")
    subprocess.run(["dpkg-deb", "-x", packages[-1], root], check=True)
    fields = subprocess.run(["dpkg-deb", "-f", packages[-1], "Depends"], check=True,
                            capture_output=True, text=True).stdout
    return root, fields


# Catches a package without its parts, or with dependencies not worked out from the binaries.
def test_package_holds_every_part(unpacked):
    root, depends = unpacked
    for part in ["usr/bin/pandry", "usr/bin/pandry-cli",
                 "usr/lib/python3/dist-packages/pandry/__init__.py",
                 "usr/share/applications/pandry.desktop",
                 "usr/share/metainfo/org.pandry.Pandry.metainfo.xml",
                 "usr/share/icons/hicolor/256x256/apps/pandry.png"]:
        assert (root / part).is_file(), part
    assert list(root.glob("usr/share/man/man1/pandry-cli.1*"))
    assert "libc6" in depends and "libqt6widgets6" in depends, depends


# Catches programs or a module that need the build tree (its paths, its libraries) to run.
@pytest.mark.parametrize("command", [["usr/bin/pandry-cli", "--version"],
                                     ["usr/bin/pandry", "--version"],
                                     [sys.executable, "-c",
                                      "import pandry; print(pandry.__file__)"]],
                         ids=["pandry-cli", "pandry", "python"])
def test_unpacked_package_runs(unpacked, command):
    root, _ = unpacked
    if not command[0].startswith("/"):
        command = [str(root / command[0]), *command[1:]]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
               PYTHONPATH=str(root / "usr/lib/python3/dist-packages"))
    done = subprocess.run(command, capture_output=True, text=True, env=env, cwd=root)
    assert done.returncode == 0, done.stderr
    assert str(root) in done.stdout if command[0] == sys.executable else done.stdout.strip()
