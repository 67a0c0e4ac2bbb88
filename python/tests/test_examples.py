"""The scripts in examples/ run as a reader would run them, on a few frames."""
import json
import pathlib
import runpy
import subprocess
import sys

import pandry

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def test_timelapse_leaves_a_recording_with_its_changing_view(tmp_path):
    out = tmp_path / "lapse.raw"
    subprocess.run([sys.executable, str(EXAMPLES / "timelapse.py"), str(out), "3", "0.1"],
                   check=True)
    sidecar = json.loads((tmp_path / "lapse.raw.json").read_text())
    assert len(pandry.open(out)) == 3 and sidecar["plan"] == {"average": 4, "every_s": 0.1}
    assert [change["field"] for change in sidecar["gaze"]] == [0.5, 0.6, 0.7]
    times = [frame["time_us"] for frame in sidecar["frames"]]
    assert all(later - earlier >= 100000 for earlier, later in zip(times, times[1:]))


def test_steering_keeps_the_spot_nearer_the_centre(monkeypatch):
    monkeypatch.setattr(sys, "argv", ["track_spot.py", "gst:videotestsrc pattern=ball", "60"])
    still, steered = runpy.run_path(str(EXAMPLES / "track_spot.py"))["main"]()
    assert steered < still
