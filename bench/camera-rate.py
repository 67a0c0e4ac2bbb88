#!/usr/bin/python3
"""Frames a second of pandry.Camera against pandry-cli record on the same source, measured in
one run, alternating, median of five each: snap() alone, and a script's per-frame loop
(iteration with a mean of each frame). Usage: PYTHONPATH=BUILD/python
bench/camera-rate.py BUILD/tools/pandry-cli [SOURCE]"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

import pandry

FRAMES = 3000
cli, source = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else "sim,fps=0")


def record_rate(folder):
    start = time.perf_counter()
    subprocess.run([cli, "record", "--camera", source, "--frames", str(FRAMES),
                    "--calibration", "none", os.path.join(folder, "run.raw")], check=True)
    return FRAMES / (time.perf_counter() - start)


def camera_rate(loop):
    with pandry.Camera(source, calibration=None) as camera:
        camera.snap()  # the source is open and reading
        start = time.perf_counter()
        loop(camera)
        return FRAMES / (time.perf_counter() - start)


def snaps(camera):
    for _ in range(FRAMES):
        camera.snap()


def script_loop(camera):
    for frame in camera.frames(FRAMES):
        np.asarray(frame).mean()


rates = {"pandry-cli record": [], "Camera.snap()": [], "per-frame loop": []}
with tempfile.TemporaryDirectory() as folder:
    for _ in range(5):
        rates["pandry-cli record"].append(record_rate(folder))
        rates["Camera.snap()"].append(camera_rate(snaps))
        rates["per-frame loop"].append(camera_rate(script_loop))
cli_rate = statistics.median(rates["pandry-cli record"])
for name, runs in rates.items():
    rate = statistics.median(runs)
    print(f"{name} on {source}: {rate:.0f} frames/s ({100 * rate / cli_rate:.0f} % of record)")
