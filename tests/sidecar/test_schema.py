"""The published schema refuses what the format does not allow: a schema that passed anything
would let every writer's and reader's mistakes through the sidecar tests unseen."""
import copy
import json
import os
import sys
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
import check_sidecar  # noqa: E402  (beside this file)
import jsonschema  # noqa: E402

SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                      "recording-sidecar.schema.json")
GOOD = {
    "format_version": 2, "software": {"name": "x", "version": "1"}, "sensor": "color",
    "geometry": {"rings": 152, "sectors": 252, "fovea_rings": 42, "frame_bytes": 38304,
                 "sample_bytes": 1, "index": "sector * 152 + ring"},
    "configuration": {"median": 0, "offset": 10, "aux1": 320, "aux2": 320, "gain": 7,
                      "width": 512, "height": 512},
    "view": "remapped", "auto_levels": False, "source": "sim", "calibration": None,
    "start_time": "2026-12-09T04:05:06.123456Z", "frame_bytes": 38304, "frame_count": 1,
    "dropped_frames": 0, "failed_reads": 0, "end": "camera failed after 3 frames: gone",
    "frames": [{"index": 0, "time_us": 0, "after_failed_read": False, "after_drop": False}],
    "gaze": [{"frame": 0, "x": 0.5, "y": 0.5, "field": 1.0}],
    "plan": {"every_s": 2.5, "average": 4},
}


def changed(path, value):
    document = copy.deepcopy(GOOD)
    *parents, last = path
    holder = document
    for key in parents:
        holder = holder[key]
    holder[last] = value
    return document


class Schema(unittest.TestCase):
    def setUp(self):
        with open(SCHEMA, encoding="utf-8") as f:
            self.validator = jsonschema.Draft202012Validator(
                json.load(f), format_checker=check_sidecar.format_checker())

    def test_a_good_sidecar_and_extensions_pass(self):
        self.assertEqual(list(self.validator.iter_errors(GOOD)), [])
        self.assertEqual(list(self.validator.iter_errors(changed(["extensions"], {"lab": 1}))), [])

    def test_what_the_format_does_not_allow_is_refused(self):
        cases = {
            "misspelt key": changed(["dropped_frame"], 0),
            "misspelt frame key": changed(["frames", 0, "after_dropp"], True),
            "unknown end": changed(["end"], "exploded"),
            "month 13": changed(["start_time"], "2026-13-09T04:05:06.123456Z"),
            "hour 99": changed(["start_time"], "2026-12-09T99:05:06.123456Z"),
            "February 30": changed(["start_time"], "2026-02-30T04:05:06.123456Z"),
            "gaze off the picture": changed(["gaze", 0, "x"], 7),
            "field too wide": changed(["gaze", 0, "field"], 9),
            "plan without average": changed(["plan"], {"every_s": 1}),
            "plan averaging no frame": changed(["plan", "average"], 0),
        }
        for name, document in cases.items():
            with self.subTest(name):
                self.assertNotEqual(list(self.validator.iter_errors(document)), [])


if __name__ == "__main__":
    unittest.main()
