"""Flat-field correction of the simulated sensor with a response pattern and a lens
fall-off, against the documented formula computed here with numpy."""
import hashlib
import os
import subprocess

import numpy as np
import pytest

import pandry

CLI = os.environ["PANDRY_CLI"]
SENSOR = "prnu=0.05,vignetting=0.3,fps=0"


def white_bmp(path, side=64):
    """A white 24-bit BMP: the evenly lit field."""
    row = side * 3
    header = (b"BM" + (54 + row * side).to_bytes(4, "little") + bytes(4) +
              (54).to_bytes(4, "little") + (40).to_bytes(4, "little") +
              side.to_bytes(4, "little") + side.to_bytes(4, "little") + (1).to_bytes(2, "little") +
              (24).to_bytes(2, "little") + bytes(24))
    path.write_bytes(header + b"\xff" * (row * side))


def cli(*arguments):
    subprocess.run([CLI, *arguments], check=True, capture_output=True)


@pytest.fixture(scope="module")
def session(tmp_path_factory):
    """A dark image, a flat of the white field and a recording of it, all from the
    simulated sensor with prnu and vignetting."""
    folder = tmp_path_factory.mktemp("flat")
    white = folder / "white.bmp"
    white_bmp(white)
    camera = f"image:{white},{SENSOR}"
    dark, flat, run = folder / "dark.data", folder / "white.flat", folder / "run.raw"
    cli("calibrate", "--camera", camera + ",dark", "--output", str(dark))
    cli("calibrate", "--flat", "--camera", camera, "--calibration", str(dark), "--frames", "32",
        "--output", str(flat))
    cli("record", "--camera", camera, "--calibration", str(dark), "--flat", str(flat),
        "--frames", "3", str(run))
    return dark, flat, run


def expected_flat_levels(raw, dark_path, flat_path):
    """(raw - dark) x mean(flat) / flat as documented: the factor in 1/65536, rounded to
    nearest; 1 where the flat is 0 or below or there is no pixel; at most 64."""
    dark = np.fromfile(dark_path, "<i4").reshape(252, 152).astype(np.int64)
    flat = np.fromfile(flat_path, "<f4", offset=16).reshape(252, 152).astype(np.float64)
    used = pandry.geometry().physical & (flat > 0)
    factor = np.full(flat.shape, 65536, np.int64)
    factor[used] = np.minimum(np.floor(flat[used].mean() / flat[used] * 65536 + 0.5), 64 * 65536)
    level = ((raw.astype(np.int64) - dark) * factor + 32768) >> 16
    return np.clip(level, 0, 255).astype(np.uint8)


def spread(levels):
    """std / mean over the periphery, where every position is a pixel."""
    periphery = levels[..., 42:].astype(np.float64)
    return periphery.std() / periphery.mean()


# Catches a correction other than the documented one (mean, factor, rounding, zeros) and a
# recording that does not name its flat image for later processing.
def test_flat_levels_match_numpy_and_even_out_the_field(session):
    dark, flat, run = session
    metadata = pandry.read_sidecar(run)
    assert metadata["flat"] == {"path": str(flat),
                                "sha256": hashlib.sha256(flat.read_bytes()).hexdigest()}
    frames, _ = pandry.read_recording(run)
    processor = pandry.Processor.for_recording(run)
    assert processor.flat == str(flat)
    levels = processor.process_unmapped(frames, "flat")
    np.testing.assert_array_equal(levels, expected_flat_levels(frames, dark, flat))
    before = frames.astype(np.int64) - np.fromfile(dark, "<i4").reshape(252, 152)
    assert spread(levels) < spread(before) / 2  # what is left is mostly the noise of +-1
    assert processor.settings.endswith("flat_sha256=" + metadata["flat"]["sha256"][:12])


# Catches --values flat or flat= ignored by one road: the tool's unmapped PGM of the flat
# levels and a Processor given the flat directly must both equal the recording's own.
def test_export_and_processor_agree(session, tmp_path):
    dark, flat, run = session
    out = tmp_path / "f-%d.pgm"
    cli("export", "--view", "unmapped", "--values", "flat", "--frames", "0", str(run), str(out))
    pgm = (tmp_path / "f-0.pgm").read_bytes()
    exported = np.frombuffer(pgm[-252 * 152:], np.uint8).reshape(252, 152)
    frames, _ = pandry.read_recording(run)
    direct = pandry.Processor(calibration=dark, flat=flat).process_unmapped(frames[0], "flat")
    np.testing.assert_array_equal(exported, direct)
    without = pandry.Processor.for_recording(run, flat=None)
    assert without.flat is None
    with pytest.raises(ValueError, match="flat"):
        without.process(frames[0], "flat")


# Catches a recording processed with a flat image other than its own: one changed since
# (SHA-256) or gone is refused, naming it, as a dark image is.
def test_changed_or_missing_flat_is_refused(session, tmp_path):
    dark, flat, _ = session
    mine = tmp_path / "mine.flat"
    mine.write_bytes(flat.read_bytes())
    run = tmp_path / "run.raw"
    cli("record", "--camera", "sim,fps=0", "--calibration", str(dark), "--flat", str(mine),
        "--frames", "1", str(run))
    changed = bytearray(mine.read_bytes())
    changed[-1] ^= 1
    mine.write_bytes(changed)
    with pytest.raises(ValueError, match="mine.flat has changed"):
        pandry.Processor.for_recording(run)
    mine.unlink()
    with pytest.raises(ValueError, match="mine.flat, is missing"):
        pandry.Processor.for_recording(run)
    assert pandry.Processor.for_recording(run, flat=None).flat is None
