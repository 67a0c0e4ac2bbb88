"""Crafted recordings and sidecars through pandry-cli's commands: each is refused in one line
with a non-zero status, in good time, and writes nothing; never a crash, a hang or a
sanitizer's report (the sanitized build runs this too). The corpus is made here, since
FIFOs, links and sparse files cannot be kept in the tree.

Usage: bad_inputs.py PANDRY_CLI"""
import copy
import json
import os
import pathlib
import subprocess
import sys
import tempfile

FRAME_BYTES = 38304
# Far beyond any refusal's time, even sanitized on a loaded machine: only a hang reaches it.
HANG_SECONDS = 300

GOOD_SIDECAR = {
    "format_version": 2, "software": {"name": "pandry", "version": "2.1"}, "sensor": "mono",
    "geometry": {"rings": 152, "sectors": 252, "fovea_rings": 42, "frame_bytes": FRAME_BYTES,
                 "sample_bytes": 1, "index": "sector * 152 + ring"},
    "configuration": {"median": 0, "offset": 80, "aux1": 320, "aux2": 320, "gain": 3,
                      "width": 256, "height": 256},
    "view": "remapped", "auto_levels": False, "source": "sim", "calibration": None,
    "start_time": "2026-12-08T11:44:10.123456Z", "frame_bytes": FRAME_BYTES, "frame_count": 2,
    "dropped_frames": 0, "failed_reads": 0, "end": "complete",
    "frames": [{"index": 0, "time_us": 0, "after_failed_read": False, "after_drop": False},
               {"index": 1, "time_us": 40000, "after_failed_read": False, "after_drop": False}],
}


def changed(edit):
    sidecar = copy.deepcopy(GOOD_SIDECAR)
    edit(sidecar)
    return json.dumps(sidecar)


def fifo(path):
    os.mkfifo(path)


def link_to(target):
    return lambda path: os.symlink(target, path)


def text(content):
    return lambda path: pathlib.Path(path).write_text(content)


def sparse(size):
    def make(path):
        with open(path, "wb") as out:
            out.truncate(size)
    return make


def calibration(make):
    """A good sidecar naming a calibration file that make() puts beside it."""
    def build(path):
        named = path + ".calimage.data"
        make(named)
        pathlib.Path(path).write_text(
            changed(lambda s: s.update(calibration={"path": named, "sha256": "0" * 64})))
    return build


def two_frames(path):
    pathlib.Path(path).write_bytes(bytes(i % 251 for i in range(2 * FRAME_BYTES)))


def frame_entry(edit):
    return changed(lambda s: edit(s["frames"][1]))


# (name, how the recording is made, how its sidecar is made or None)
CASES = [
    ("recording_empty", text(""), None),
    ("recording_fifo", fifo, None),
    ("recording_directory", os.mkdir, None),
    ("recording_dangling_link", link_to("gone.raw"), None),
    ("recording_device", link_to("/dev/zero"), None),
    ("sidecar_not_json", two_frames, text('{"format_version": 2,')),
    ("sidecar_not_an_object", two_frames, text("[1, 2]")),
    ("sidecar_invalid_utf8", two_frames,
     lambda p: pathlib.Path(p).write_bytes(changed(lambda s: s.update(source="\x00"))
                                           .replace("\\u0000", "\xff").encode("latin-1"))),
    ("sidecar_nested_deep", two_frames, text("[" * 200000 + "]" * 200000)),
    ("sidecar_fifo", two_frames, fifo),
    ("sidecar_directory", two_frames, os.mkdir),
    ("sidecar_device", two_frames, link_to("/dev/zero")),
    ("sidecar_dangling_link", two_frames, link_to("gone.json")),
    ("sidecar_too_large", two_frames, sparse(200 << 20)),
    ("sidecar_future_version", two_frames, text(changed(lambda s: s.update(format_version=99)))),
    ("sidecar_offset_out_of_range", two_frames,
     text(changed(lambda s: s["configuration"].update(offset=5000)))),
    ("sidecar_gain_huge", two_frames, text(changed(lambda s: s["configuration"].update(gain=1e300)))),
    ("sidecar_count_mismatch", two_frames, text(changed(lambda s: s.update(frame_count=3)))),
    ("sidecar_time_backwards", two_frames, text(frame_entry(lambda f: f.update(time_us=-1)))),
    ("sidecar_time_int64_max", two_frames,
     text(frame_entry(lambda f: f.update(time_us=2**63 - 1)))),
    ("sidecar_time_past_64_bits", two_frames, text(frame_entry(lambda f: f.update(time_us=2**64)))),
    ("sidecar_index_negative", two_frames, text(frame_entry(lambda f: f.update(index=-5)))),
    ("sidecar_frames_twice", two_frames,
     text(changed(lambda s: None).replace('"sensor"', '"frames": [], "sensor"'))),
    ("sidecar_gaze_off_picture", two_frames,
     text(changed(lambda s: s.update(gaze=[{"frame": 0, "x": 7, "y": 0.5, "field": 1}])))),
    ("sidecar_unknown_end", two_frames, text(changed(lambda s: s.update(end=7)))),
    ("calibration_fifo", two_frames, calibration(fifo)),
    ("calibration_device", two_frames, calibration(link_to("/dev/zero"))),
]

COMMANDS = {
    "convert": lambda rec, out: ["convert", rec, out + ".bmp"],
    "export": lambda rec, out: ["export", rec, out + "%d.png"],
    "stats": lambda rec, out: ["stats", rec],
    # A pixel on the sensor, so that the frame is read.
    "inspect": lambda rec, out: ["inspect", "--frame", rec, "128", "100"],
}
# The replay source reads the sidecar too (not the calibration it names: a replay's frames are
# raw), and the recorder it feeds would write: only damaged recordings and sidecars go there.
REPLAYED = {"record": lambda rec, out: ["record", "--camera", "replay:" + rec, "--frames", "1",
                                        out + ".raw"]}

SANITIZER_WORDS = ("Sanitizer", "runtime error:", "LeakSanitizer")


def run(cli, arguments, folder):
    try:
        done = subprocess.run([cli, *arguments], cwd=folder, capture_output=True, text=True,
                              errors="replace", timeout=HANG_SECONDS, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        return None, ""
    return done.returncode, done.stderr


def check(cli, name, arguments, folder):
    """The faults of one run, empty when it refused as it should."""
    before = set(os.listdir(folder))
    status, stderr = run(cli, arguments, folder)
    faults = []
    if status is None:
        faults.append(f"still running after {HANG_SECONDS} s")
    elif status < 0:
        faults.append(f"killed by signal {-status}")
    elif status == 0:
        faults.append("succeeded")
    if any(word in stderr for word in SANITIZER_WORDS):
        faults.append("a sanitizer's report")
    elif status and len(stderr.strip().splitlines()) != 1:
        faults.append("not one line")
    written = set(os.listdir(folder)) - before
    if written:
        faults.append(f"wrote {sorted(written)}")
    return [f"{name}: pandry-cli {' '.join(arguments)}: {fault}\n{stderr}" for fault in faults]


def main():
    cli = os.path.abspath(sys.argv[1])
    faults = []
    with tempfile.TemporaryDirectory() as root:
        for name, recording, sidecar in CASES:
            folder = os.path.join(root, name)
            os.mkdir(folder)
            rec = os.path.join(folder, "run.raw")
            recording(rec)
            if sidecar is not None:
                sidecar(rec + ".json")
            commands = dict(COMMANDS)
            if not name.startswith("calibration"):
                commands.update(REPLAYED)
            for command in commands.values():
                faults += check(cli, name, command(rec, os.path.join(folder, "out")), folder)
        # What the sanitizers once found on every run of it.
        status, stderr = run(cli, ["geometry", "--csv"], root)
        if status != 0 or any(word in stderr for word in SANITIZER_WORDS):
            faults.append(f"geometry --csv: status {status}\n{stderr}")
    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"{len(CASES)} crafted inputs, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
