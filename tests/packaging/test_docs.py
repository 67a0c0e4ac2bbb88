"""Every Python and shell example in README.md and docs/ runs, on small recordings made here.

A fenced block says what it holds in its info string: "python", "sh" or "text" (output, not
run). A block that needs what a test cannot give adds "needs:WHAT" (display, camera, time, root,
source-tree) and is skipped, named in the test's report. The blocks of one page run in turn in
one folder, as a reader would type them: a later block may use what an earlier one made."""
import os
import pathlib
import re
import shutil
import subprocess
import sys

import pytest

BUILD = pathlib.Path(os.environ["PANDRY_BUILD"])
SOURCE = pathlib.Path(os.environ["PANDRY_SOURCE"])
PAGES = [SOURCE / "README.md", *sorted((SOURCE / "docs").glob("*.md"))]
FENCE = re.compile(r"^```([^\n]*)\n(.*?)^```$", re.M | re.S)
LANGUAGES = {"python", "sh", "text"}


def blocks(page):
    text = page.read_text()
    for match in FENCE.finditer(text):
        words = match.group(1).split()
        line = text.count("\n", 0, match.start()) + 1
        yield line, words, match.group(2)


@pytest.fixture(scope="module")
def recordings(tmp_path_factory):
    """The recordings the examples name, made once: short and at full speed."""
    folder = tmp_path_factory.mktemp("recordings")
    cli = BUILD / "tools" / "pandry-cli"
    for name, camera in [("run.raw", "sim,fps=0"), ("a.raw", "sim,fps=0"),
                         ("b.raw", "sim-color,fps=0")]:
        subprocess.run([cli, "record", "--camera", camera, "--frames", "8", "--calibration",
                        "none", folder / name], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                    "testsrc=size=160x120:rate=25:duration=1", folder / "walk.mp4"], check=True)
    return folder


def run_block(folder, language, code):
    env = dict(os.environ, PYTHONPATH=str(BUILD / "python"), HOME=str(folder),
               PATH=f"{BUILD / 'tools'}:{BUILD / 'app'}:{os.environ['PATH']}",
               QT_QPA_PLATFORM="offscreen")
    script = folder / ("block.py" if language == "python" else "block.sh")
    script.write_text(code)
    command = [sys.executable, script] if language == "python" else ["bash", "-e", script]
    return subprocess.run(command, cwd=folder, env=env, capture_output=True, text=True,
                          timeout=120)


EXAMPLES = [(page, line, words, code) for page in PAGES for line, words, code in blocks(page)]


@pytest.fixture(scope="module")
def page_folders(tmp_path_factory, recordings):
    """One folder for each page, with the recordings and the build and docs folders in it."""
    made = {}

    def folder_of(page):
        if page not in made:
            made[page] = tmp_path_factory.mktemp(page.stem)
            for name in os.listdir(recordings):
                shutil.copy(recordings / name, made[page])
            (made[page] / "build").symlink_to(BUILD)
            (made[page] / "docs").symlink_to(SOURCE / "docs")
        return made[page]
    return folder_of


@pytest.mark.parametrize("page, line, words, code", EXAMPLES,
                         ids=[f"{page.name}:{line}" for page, line, _, _ in EXAMPLES])
def test_example_runs(page_folders, page, line, words, code):
    where = f"{page.name}:{line}"
    assert words and words[0] in LANGUAGES, f"{where}: the block does not say what it holds"
    needs = [word for word in words[1:] if word.startswith("needs:")]
    if needs:
        pytest.skip(f"{where} {' '.join(needs)}")
    if words[0] != "text":
        result = run_block(page_folders(page), words[0], code)
        assert result.returncode == 0, f"{where} failed:\n{result.stdout}{result.stderr}"
