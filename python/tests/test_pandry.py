"""The Python module against the C++ tool: same pictures, same recordings, clear errors."""
import json
import os
import subprocess
import warnings

import numpy as np
import pytest

import pandry

CLI = os.environ["PANDRY_CLI"]
FRAME_BYTES = 252 * 152


def pattern_frame(start, step):
    """Sample i is (i * step + start) mod 256, as the C++ tests' PatternFrame."""
    return ((np.arange(FRAME_BYTES, dtype=np.int64) * step + start) % 256).astype(np.uint8)


def read_bmp(path):
    """Our BMP: a 58-byte header, rows bottom first in blue-green-red order."""
    data = open(path, "rb").read()
    width = int.from_bytes(data[18:22], "little")
    height = int.from_bytes(data[22:26], "little")
    pixels = np.frombuffer(data, np.uint8, width * height * 3, 58).reshape(height, width, 3)
    return pixels[::-1, :, ::-1]


def convert(tmp_path, frame, *options):
    raw = tmp_path / "one.raw"
    raw.write_bytes(frame.tobytes())
    out = tmp_path / "one.bmp"
    subprocess.run([CLI, "convert", *options, str(raw), str(out)], check=True)
    return read_bmp(out)


SETTINGS = [
    pytest.param("mono", 256, 80, 3, id="mono-256"),
    pytest.param("color", 256, 80, 3, id="color-256"),
    pytest.param("mono", 512, 40, 5, id="mono-512-offset40-gain5"),
    pytest.param("color", 512, 60, 2, id="color-512-offset60-gain2"),
]


# Catches a binding whose picture differs from the viewer's (orientation, RGB order,
# settings passed wrongly): process() must equal convert's BMP of the same frame.
@pytest.mark.parametrize("sensor,size,offset,gain", SETTINGS)
def test_process_matches_the_tool(tmp_path, sensor, size, offset, gain):
    frame = pattern_frame(17, 7)
    processor = pandry.Processor(sensor=sensor, size=size, offset=offset, gain=gain)
    options = ["--sensor", sensor, "--size", str(size), "--offset", str(offset),
               "--gain", str(gain), "--calibration", "none"]
    picture = processor.process(frame)
    assert picture.shape == (size, size, 3) and picture.dtype == np.uint8
    np.testing.assert_array_equal(picture, convert(tmp_path, frame, *options))
    unmapped = processor.process_unmapped(frame.tobytes())
    np.testing.assert_array_equal(
        unmapped, convert(tmp_path, frame, *options, "--view", "unmapped"))


# Catches a calibration given as a path or an array being ignored or read differently.
def test_calibration_path_and_array_agree(tmp_path):
    dark = (np.arange(FRAME_BYTES, dtype=np.int32) % 23).astype("<i4")
    path = tmp_path / "dark.data"
    path.write_bytes(dark.tobytes())
    frame = pattern_frame(90, 3)
    from_path = pandry.Processor(calibration=path).process(frame)
    from_array = pandry.Processor(calibration=dark.reshape(252, 152)).process(frame)
    np.testing.assert_array_equal(from_path, from_array)
    np.testing.assert_array_equal(
        from_path, convert(tmp_path, frame, "--calibration", str(path)))
    assert not np.array_equal(from_path, pandry.Processor().process(frame))


# Catches corrected() skipping the dark subtraction or mixing up sample positions: with the
# frame itself as dark image every sample corrects to the same level, and without one the
# order of levels is kept.
def test_corrected_subtracts_the_dark_image_sample_by_sample():
    frame = pattern_frame(5, 13)
    flat = pandry.Processor(calibration=frame.astype(np.int32)).corrected(frame)
    assert flat.shape == (252, 152) and flat.dtype == np.uint8
    assert flat.min() == flat.max()
    plain = pandry.Processor().corrected(frame).reshape(-1)
    order = np.argsort(frame, kind="stable")
    assert (np.diff(plain[order].astype(int)) >= 0).all()
    assert plain.min() != plain.max()


# Catches read_recording losing frames, reordering samples or misreading the sidecar.
def test_read_recording_round_trips_a_cli_recording(tmp_path):
    raw = tmp_path / "run.raw"
    subprocess.run([CLI, "record", "--camera", "sim,fps=0", "--frames", "4",
                    "--calibration", "none", str(raw)], check=True)
    frames, metadata = pandry.read_recording(raw)  # a pathlib.Path
    assert frames.shape == (4, 252, 152) and frames.dtype == np.uint8
    np.testing.assert_array_equal(
        frames.reshape(-1), np.frombuffer(raw.read_bytes(), np.uint8))
    assert metadata == json.loads((tmp_path / "run.raw.json").read_text())
    assert metadata["frame_count"] == 4


# Catches a cut-off recording or damaged sidecar raising instead of warning.
def test_read_recording_cut_off_and_damaged(tmp_path):
    raw = tmp_path / "cut.raw"
    raw.write_bytes(bytes(FRAME_BYTES * 2 + 10))
    (tmp_path / "cut.raw.json").write_text("{ not json")
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        frames, metadata = pandry.read_recording(str(raw))
    assert frames.shape[0] == 2
    assert metadata is None
    text = " ".join(str(w.message) for w in caught)
    assert "cut-off" in text and "cut.raw.json" in text


# Catches tables of the wrong shape, type or marker.
def test_tables():
    remap = pandry.remap_table()
    assert remap.shape == (512, 512) and remap.dtype == np.uint16
    assert remap[0, 0] == pandry.NO_SOURCE
    inside = remap[remap != pandry.NO_SOURCE]
    assert inside.max() < FRAME_BYTES
    fovea = pandry.fovea_table()
    assert fovea.shape == (252, 42)
    used = fovea[fovea != pandry.NO_FOVEA_SECTOR]
    assert used.size > 0 and used.min() >= 0 and used.max() < 252


BAD_FRAMES = [
    pytest.param(b"short", id="short-bytes"),
    pytest.param(np.zeros(FRAME_BYTES, np.uint16), id="uint16"),
    pytest.param(np.zeros(FRAME_BYTES + 1, np.uint8), id="one-too-many"),
    pytest.param(np.zeros((252, 304), np.uint8)[:, ::2], id="not-contiguous"),
    pytest.param("text", id="str"),
]


# Catches a wrong frame being read past its end or reinterpreted instead of refused.
@pytest.mark.parametrize("frame", BAD_FRAMES)
def test_bad_frames_raise_value_error(frame):
    processor = pandry.Processor()
    with pytest.raises((ValueError, TypeError)) as raised:
        processor.process(frame)
    if not isinstance(frame, str):
        assert raised.type is ValueError


# Catches out= filling something else than the fresh result (a batch's frames misplaced, a
# colour picture in the display's order, a batch too large for the caches streamed amiss) or
# returning another array.
@pytest.mark.parametrize("sensor,values,size,count", [
    ("mono", "shown", 256, 3), ("color", "shown", 256, 3), ("color", "raw", 256, 3),
    ("color", "shown", 512, 7)])
def test_process_into_out_equals_a_fresh_result(sensor, values, size, count):
    processor = pandry.Processor(sensor=sensor, size=size)
    clip = np.stack([pattern_frame(k, 3 + k) for k in range(count)]).reshape(count, 252, 152)
    fresh = processor.process(clip, values)
    out = np.full_like(fresh, 0x5A)
    assert processor.process(clip, values, out=out) is out
    np.testing.assert_array_equal(out, fresh)
    for k in (1, count - 1):
        one = np.empty_like(fresh[0])
        processor.process(clip[k], values, out=one)
        np.testing.assert_array_equal(one, fresh[k])


# Catches grey pictures of other levels than the shown ones' channels, or rows turned over,
# in either view; and grey asked where no grey picture is.
def test_grey_pictures_carry_the_shown_level():
    processor = pandry.Processor(size=512)
    clip = np.stack([pattern_frame(k, 5 + k) for k in range(2)]).reshape(2, 252, 152)
    for render in (processor.process, processor.process_unmapped):
        np.testing.assert_array_equal(render(clip, grey=True), render(clip)[..., 0])
    for processor, values in [(pandry.Processor(sensor="color"), "shown"), (processor, "raw")]:
        with pytest.raises(ValueError, match="grey=True"):
            processor.process(clip, values, grey=True)


BAD_OUT = [
    pytest.param(np.zeros((256, 256), np.uint8), "shape", id="shape"),
    pytest.param(np.zeros((256, 256, 3), np.uint16), "uint8", id="dtype"),
    pytest.param(np.zeros((256, 256, 6), np.uint8)[:, :, ::2], "C-contiguous", id="strided"),
    pytest.param(np.frombuffer(bytes(256 * 256 * 3), np.uint8).reshape(256, 256, 3),
                 "read-only", id="read-only"),
    pytest.param(bytearray(256 * 256 * 3), "numpy array", id="not-an-array"),
]


# Catches an out= array written past its end or in the wrong layout instead of refused.
@pytest.mark.parametrize("out,mentions", BAD_OUT)
def test_bad_out_raises_value_error(out, mentions):
    with pytest.raises(ValueError, match=mentions):
        pandry.Processor().process(pattern_frame(1, 1), out=out)


BAD_PROCESSORS = [
    pytest.param(dict(sensor="grey"), "sensor", id="sensor"),
    pytest.param(dict(size=300), "size", id="size"),
    pytest.param(dict(offset=5000), "offset", id="offset"),
    pytest.param(dict(gain=-500), "gain", id="gain"),
    pytest.param(dict(calibration="/no/such/file"), "/no/such/file", id="calibration-path"),
    pytest.param(dict(calibration=np.zeros(10)), "38304", id="calibration-array"),
    pytest.param(dict(calibration=3), "calibration", id="calibration-type"),
]


# Catches bad settings accepted silently or reported without naming what is wrong.
@pytest.mark.parametrize("arguments,mentions", BAD_PROCESSORS)
def test_bad_processor_arguments(arguments, mentions):
    with pytest.raises(ValueError, match=mentions):
        pandry.Processor(**arguments)


# Catches a missing recording raising something other than a clear ValueError.
def test_read_recording_missing_file(tmp_path):
    with pytest.raises(ValueError, match="nothere.raw"):
        pandry.read_recording(str(tmp_path / "nothere.raw"))


def special_file(tmp_path, kind):
    """A path of the given kind that no reader may take for a regular file."""
    path = tmp_path / ("special-" + kind)
    if kind == "fifo":
        os.mkfifo(path)
    elif kind == "directory":
        path.mkdir()
    elif kind == "device":
        path.symlink_to("/dev/zero")
    elif kind == "short":
        path.write_bytes(bytes(153215))
    return str(path)


# Catches a calibration the tool refuses being taken as none (or a FIFO hanging the
# constructor): each raises ValueError naming the file.
@pytest.mark.parametrize("kind", ["fifo", "directory", "device", "short"])
def test_bad_calibration_files_raise(tmp_path, kind):
    path = special_file(tmp_path, kind)
    with pytest.raises(ValueError, match=path):
        pandry.Processor(calibration=path)


# Catches a sidecar read that hangs on a FIFO, eats memory on a device or throws an
# unexpected error on a directory.
@pytest.mark.parametrize("kind", ["fifo", "directory", "device"])
def test_special_sidecar_raises(tmp_path, kind):
    raw = tmp_path / "run.raw"
    raw.write_bytes(bytes(FRAME_BYTES))
    os.rename(special_file(tmp_path, kind), str(raw) + ".json")
    with pytest.raises(ValueError, match="run.raw.json"):
        pandry.read_recording(str(raw))


# Catches pictures mixed up between threads sharing one Processor (its work runs without
# the GIL): every call from 8 threads at once must equal the serial result.
@pytest.mark.parametrize("method", ["process", "process_unmapped", "corrected"])
def test_shared_processor_in_threads_equals_serial(method):
    from concurrent.futures import ThreadPoolExecutor

    processor = pandry.Processor(sensor="color")
    frames = [pattern_frame(k, 2 * k + 1) for k in range(16)]
    serial = [getattr(processor, method)(frame) for frame in frames]
    work = [k % len(frames) for k in range(320)]
    with ThreadPoolExecutor(max_workers=8) as pool:
        results = list(pool.map(lambda k: getattr(processor, method)(frames[k]), work))
    for k, result in zip(work, results):
        np.testing.assert_array_equal(result, serial[k])


# Catches a processor for a recording that ignores its sidecar: a colour recording made at
# 512 with offset -1 and gain 10 gives the picture convert gives with no options.
def test_for_recording_uses_the_recorded_settings(tmp_path):
    run = tmp_path / "run.raw"
    subprocess.run([CLI, "record", "--camera", "sim-color,fps=0", "--frames", "2", "--size", "512",
                    "--offset", "-1", "--gain", "10", "--calibration", "none", str(run)],
                   check=True)
    subprocess.run([CLI, "convert", str(run), str(tmp_path / "last.bmp")], check=True)
    frames, _ = pandry.read_recording(str(run))
    processor = pandry.Processor.for_recording(run)
    assert "offset=-1 gain=10" in processor.settings
    np.testing.assert_array_equal(processor.process(frames[-1]),
                                  read_bmp(tmp_path / "last.bmp"))


# Catches a damaged sidecar silently turning into the defaults (other pictures than the
# recording's), and ignore_sidecar not getting past it.
def test_for_recording_refuses_a_damaged_sidecar(tmp_path):
    run = tmp_path / "run.raw"
    run.write_bytes(bytes(FRAME_BYTES))
    (tmp_path / "run.raw.json").write_text("{ not json")
    with pytest.raises(ValueError, match="run.raw.json.*ignore_sidecar=True"):
        pandry.Processor.for_recording(run)
    with pytest.warns(UserWarning, match="ignored"):
        processor = pandry.Processor.for_recording(run, ignore_sidecar=True, calibration=None)
    assert "sidecar=ignored" in processor.settings
    rec = pandry.open(run)
    with pytest.raises(ValueError, match="run.raw.json"):
        rec.metadata
    assert "cannot be read" in repr(rec)
    assert pandry.open(run, ignore_sidecar=True).times_us.tolist() == [-1]


def test_open_map_survives_a_recording_over_its_file_and_a_cut_raises(tmp_path):
    run = tmp_path / "run.raw"
    subprocess.run([CLI, "record", "--camera", "sim,fps=0", "--frames", "3", str(run)],
                   check=True)
    rec = pandry.open(run)
    first = np.array(rec[0])
    subprocess.run([CLI, "record", "--camera", "sim,fps=0,dark", "--frames", "1", str(run)],
                   check=True)
    assert len(rec) == 3
    assert np.array_equal(rec[0], first)  # the old file, still mapped whole
    with pandry.open(run) as again:
        again_first = np.array(again[0])
    assert not np.array_equal(again_first, first)
    cut = tmp_path / "cut.raw"
    cut.write_bytes(bytes(pandry.FRAME_BYTES * 2))
    with pandry.open(cut) as short:
        os.truncate(cut, pandry.FRAME_BYTES)
        with pytest.raises(OSError, match="cut.raw"):
            short[1]
