"""pandry.Camera against the sources and pandry-cli record: frames in order, settings and gaze
from the next frame, the same recordings, stalls and Ctrl-C that end cleanly."""
import json
import os
import signal
import subprocess
import sys
import threading

import numpy as np
import pytest

import pandry

CLI = os.environ["PANDRY_CLI"]
FOVEA_RINGS = 42


def write_bmp(path, rgb):
    """A 24-bit BMP of an (H, W, 3) picture: rows bottom first, blue-green-red, padded."""
    height, width, _ = rgb.shape
    row = (width * 3 + 3) & ~3
    pixels = np.zeros((height, row), np.uint8)
    pixels[:, :width * 3] = rgb[::-1, :, ::-1].reshape(height, -1)
    header = (b"BM" + (54 + pixels.size).to_bytes(4, "little") + bytes(4) +
              (54).to_bytes(4, "little") + (40).to_bytes(4, "little") +
              width.to_bytes(4, "little") + height.to_bytes(4, "little") +
              (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(24))
    path.write_bytes(header + pixels.tobytes())


@pytest.fixture
def spot_picture(tmp_path):
    """A black picture with one bright square away from the centre, at (0.75, 0.3)."""
    rgb = np.zeros((240, 320, 3), np.uint8)
    rgb[60:84, 228:252] = 255
    path = tmp_path / "spot.bmp"
    write_bmp(path, rgb)
    return path


def fovea_level(frame):
    physical = pandry.geometry().physical[:, :FOVEA_RINGS]
    return float(np.asarray(frame)[:, :FOVEA_RINGS][physical].mean())


def test_frames_come_in_order_with_their_settings():
    with pandry.Camera("sim", calibration=None) as camera:
        frames = list(camera.frames(4))
        camera.offset, camera.gain = 100, 7
        changed = camera.snap()
    assert camera.closed
    assert all(f.shape == (252, 152) and f.dtype == np.uint8 for f in frames)
    assert [f.index for f in frames] == sorted({f.index for f in frames})
    assert all(a.time_us < b.time_us for a, b in zip(frames, frames[1:]))
    assert all((f.offset, f.gain, f.gaze) == (80, 3, None) for f in frames)
    assert (changed.offset, changed.gain) == (100, 7) and changed.index > frames[-1].index
    # The picture of a frame is Processor's with the settings the frame was read with.
    expected = pandry.Processor(offset=100, gain=7).process(np.asarray(changed), "corrected")
    np.testing.assert_array_equal(camera.picture(changed, "corrected"), expected)
    assert not np.array_equal(expected,
                              pandry.Processor().process(np.asarray(changed), "corrected"))


def test_a_moved_gaze_brings_the_spot_into_the_fovea(spot_picture):
    with pandry.Camera(f"image:{spot_picture}", calibration=None) as camera:
        before = camera.snap()
        camera.gaze = (0.75, 0.3)
        after = camera.snap()
        with pytest.raises(ValueError):
            camera.field = 10
    assert before.gaze == pytest.approx((0.5, 0.5, camera_field(before)))
    assert after.gaze[:2] == pytest.approx((0.75, 0.3))
    assert fovea_level(after) > 4 * fovea_level(before)


def camera_field(frame):
    return frame.gaze[2]


def test_sources_without_a_gaze_say_so():
    with pandry.Camera("sim", calibration=None) as camera:
        with pytest.raises(AttributeError, match="has no gaze"):
            camera.gaze = (0.2, 0.2)


def read_sidecar(path):
    return json.loads(open(str(path) + ".json").read())


# The one road to disk: the same plan through Camera.record and pandry-cli record gives the
# same frames and the same description.
def test_record_equals_the_tool(tmp_path, spot_picture):
    source = f"image:{spot_picture},gaze=0.6:0.4,noise=0"
    ours, theirs = tmp_path / "ours.raw", tmp_path / "theirs.raw"
    with pandry.Camera(source, offset=60, gain=5, calibration=None) as camera:
        run = camera.record(ours, frames=3, every=0.01, average=2, wait=False)
        seen = [camera.snap() for _ in range(2)]  # the script reads on meanwhile
        assert run.wait() and run.stored == 3
    subprocess.run([CLI, "record", "--camera", source, "--frames", "3", "--every", "0.01",
                    "--average", "2", "--offset", "60", "--gain", "5", "--calibration", "none",
                    str(theirs)], check=True)
    assert len(seen) == 2 and ours.read_bytes() == theirs.read_bytes()
    ours_json, theirs_json = read_sidecar(ours), read_sidecar(theirs)
    for key in ("sensor", "configuration", "view", "source", "calibration", "plan", "gaze", "end",
                "frame_count"):
        assert ours_json.get(key) == theirs_json.get(key), key


def test_a_stalled_source_raises_naming_it():
    with pandry.Camera("sim,stall-after=2", calibration=None, timeout=0.3) as camera:
        list(camera.frames(2))
        with pytest.raises(TimeoutError, match=r"'sim,stall-after=2' gave no frame in 0.3 s"):
            for _ in range(3):
                camera.snap()


def test_two_cameras_in_two_threads(spot_picture):
    seen = {}

    def read(name, gaze):
        with pandry.Camera(f"image:{spot_picture}", calibration=None) as camera:
            camera.gaze = gaze
            seen[name] = [frame.gaze[:2] for frame in camera.frames(5)]

    threads = [threading.Thread(target=read, args=(n, g))
               for n, g in (("left", (0.3, 0.5)), ("right", (0.7, 0.5)))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert seen["left"] == [pytest.approx((0.3, 0.5))] * 5
    assert seen["right"] == [pytest.approx((0.7, 0.5))] * 5


# Ctrl-C while the wait is inside the camera (the source stalls after one frame) ends the
# iteration at once and closes the camera on the way out of the block.
def test_ctrl_c_during_iteration_closes_the_camera():
    script = (
        "import pandry\n"
        "camera = pandry.Camera('sim,stall-after=1', calibration=None, timeout=60)\n"
        "try:\n"
        "    with camera:\n"
        "        for frame in camera:\n"
        "            print('reading', flush=True)\n"
        "except KeyboardInterrupt:\n"
        "    print('closed' if camera.closed else 'open', flush=True)\n")
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True)
    assert child.stdout.readline() == "reading\n"
    child.send_signal(signal.SIGINT)
    out, _ = child.communicate(timeout=30)
    assert out == "closed\n" and child.returncode == 0


# Catches a dark image other than the frames' mean, one stored in another form than the
# processors read, one not in force from the next frame, and Auto Levels that leave a frame
# with range at the default levels or hand out frames that do not carry the new ones.
def test_calibrate_and_auto_levels(tmp_path):
    with pandry.Camera("sim,fps=0,dark,noise=0", calibration=None) as camera:
        dark_frame = np.asarray(camera.snap()).astype(np.int32)  # without noise, every frame
        path = tmp_path / "dark.data"
        dark = camera.calibrate(frames=3, path=str(path))
        np.testing.assert_array_equal(dark, dark_frame)
        np.testing.assert_array_equal(camera.dark_image, dark)
        assert os.path.samefile(camera.calibration, path)
        after = camera.snap()
        np.testing.assert_array_equal(
            pandry.Processor(calibration=str(path)).corrected(after),
            pandry.Processor(calibration=dark.ravel().astype(np.uint8)).corrected(after))
    with pandry.Camera("sim,fps=0", calibration=None) as camera:
        before = camera.offset, camera.gain
        chosen = camera.auto_levels()
        assert chosen != before
        frame = camera.snap()
        assert (frame.offset, frame.gain) == chosen == (camera.offset, camera.gain)
