"""Data for analysis: TIFF stacks, raw and corrected values, the memory-mapped recording,
batches, and dask on worker processes."""
import json
import os
import pathlib
import pickle
import subprocess
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest
import tifffile

import pandry

CLI = os.environ["PANDRY_CLI"]
OME = "{http://www.openmicroscopy.org/Schemas/OME/2016-06}"


@pytest.fixture(scope="module")
def recording(tmp_path_factory):
    raw = tmp_path_factory.mktemp("rec") / "run.raw"
    subprocess.run([CLI, "record", "--camera", "sim,fps=0", "--frames", "6",
                    "--calibration", "none", str(raw)], check=True)
    return raw


def export(recording, output, *options):
    subprocess.run([CLI, "export", "--calibration", "none", *options, str(recording),
                    str(output)], check=True)
    return output


def sidecar_times_s(recording):
    frames = json.loads(pathlib.Path(str(recording) + ".json").read_text())["frames"]
    times = [f["time_us"] / 1e6 if "time_us" in f else f["time_ms"] / 1e3 for f in frames]
    return np.array(times) - times[0]


# Catches a stack that tools take for unrelated pages (no ImageJ/OME header), that loses or
# reorders frames, carries other pixels than the per-frame export, or wrong plane times.
@pytest.mark.parametrize("name", ["stack.tif", "stack.ome.tif"])
@pytest.mark.parametrize("sensor", ["mono", "color"])
def test_stack_reads_back(tmp_path, recording, name, sensor):
    stack = export(recording, tmp_path / name, "--sensor", sensor)
    export(recording, tmp_path / "one-%d.tif", "--sensor", sensor)
    with tifffile.TiffFile(stack) as tif:
        assert len(tif.pages) == 6
        pixels = tif.asarray()
        if name.endswith(".ome.tif"):
            assert tif.is_ome
            planes = ElementTree.fromstring(tif.ome_metadata).iter(OME + "Plane")
            delta_t = np.array([float(plane.get("DeltaT")) for plane in planes])
            # Against the recording's start (its AcquisitionDate), not the first exported frame.
            steps = sidecar_times_s(recording)
            np.testing.assert_allclose(delta_t - delta_t[0], steps, atol=1e-6)
            assert delta_t[0] >= 0
        else:
            assert tif.is_imagej and tif.imagej_metadata["frames"] == 6
            steps = sidecar_times_s(recording)
            assert tif.imagej_metadata["finterval"] == pytest.approx(steps[-1] / 5, abs=1e-6)
    for frame in range(6):
        np.testing.assert_array_equal(pixels[frame], tifffile.imread(tmp_path / f"one-{frame}.tif"))
    with tifffile.TiffFile(stack, is_ome=False, is_imagej=False) as tif:
        page_names = [page.tags["PageName"].value for page in tif.pages]
    rec = pandry.open(recording)
    assert page_names == [f"index={i} time_us={t}" for i, t in zip(rec.indices, rec.times_us)]


# Catches user text pasted into the XML unescaped: a calibration path with markup characters
# must come back whole from the map annotation.
def test_ome_settings_survive_markup_characters(tmp_path, recording):
    dark = tmp_path / 'dark <&"\'>.data'
    dark.write_bytes(np.zeros(252 * 152, "<i4").tobytes())
    stack = tmp_path / "marked.ome.tif"
    subprocess.run([CLI, "export", "--calibration", str(dark), str(recording), str(stack)],
                   check=True)
    with tifffile.TiffFile(stack) as tif:
        root = ElementTree.fromstring(tif.ome_metadata)
    values = {m.get("K"): m.text for m in root.iter(OME + "M")}
    assert values["calibration"] == str(dark)


# Catches raw or corrected values that went through the display curve, the fovea fill or a
# transposition: unmapped they are the sample grid itself.
def test_raw_and_corrected_values_unmapped(tmp_path, recording):
    frames = np.fromfile(recording, np.uint8).reshape(-1, 252, 152)
    raw = tifffile.imread(export(recording, tmp_path / "raw.tif", "--values", "raw",
                                 "--view", "unmapped"))
    np.testing.assert_array_equal(raw, frames)
    corrected = tifffile.imread(export(recording, tmp_path / "corrected.tif", "--values",
                                       "corrected", "--view", "unmapped", "--offset", "40"))
    np.testing.assert_array_equal(corrected, pandry.Processor(offset=40).corrected(frames))


# Catches remapped values taken from the wrong sample: outside the fovea each pixel is its
# remap-table sample's byte, and 0 outside the disc.
@pytest.mark.parametrize("size", [256, 512])
def test_raw_values_remapped_follow_the_remap_table(recording, size):
    frame = pandry.open(recording)[2]
    picture = pandry.Processor(size=size).process(frame, values="raw")
    table = pandry.remap_table()[::512 // size, ::512 // size]
    outside = table == pandry.NO_SOURCE
    assert (picture[outside] == 0).all()
    periphery = ~outside & (table.astype(int) % 152 >= 42)
    np.testing.assert_array_equal(picture[periphery], frame.reshape(-1)[table[periphery]])


# Catches a recording that copies the file (not a map), loses frames, or whose views do not
# follow the file.
def test_open_maps_the_file(tmp_path, recording):
    path = tmp_path / "copy.raw"
    path.write_bytes(recording.read_bytes())
    with pandry.open(pathlib.Path(path)) as rec:
        assert len(rec) == 6 and rec[1:4].shape == (3, 252, 152)
        whole = np.asarray(rec)
        assert np.shares_memory(whole, rec[5]) and not whole.flags.writeable
        assert sum(1 for _ in rec) == 6
        with open(path, "r+b") as file:
            file.seek(5 * 252 * 152 + 7)
            file.write(bytes([rec[5].reshape(-1)[7] ^ 0xFF]))
        assert whole[5].reshape(-1)[7] == path.read_bytes()[5 * 252 * 152 + 7]
        assert rec.metadata is None and rec.sensor is None
        np.testing.assert_array_equal(rec.indices, np.arange(6))


# Catches indices and times not taken from the sidecar, and a pickle that carries the frames
# instead of the path.
def test_recording_metadata_and_pickle(recording):
    rec = pandry.open(str(recording))
    sidecar = json.loads(pathlib.Path(str(recording) + ".json").read_text())
    assert rec.metadata == sidecar and rec.sensor == "mono"
    np.testing.assert_array_equal(rec.indices, [f["index"] for f in sidecar["frames"]])
    np.testing.assert_allclose(rec.times_us / 1e6, sidecar_times_s(recording) + rec.times_us[0] / 1e6)
    data = pickle.dumps(rec)
    assert len(data) < 1000
    np.testing.assert_array_equal(pickle.loads(data)[3], rec[3])


# Catches a batch handled differently from its frames one by one, in any of the outputs.
@pytest.mark.parametrize("method,values", [("process", "shown"), ("process", "corrected"),
                                           ("process_unmapped", "raw"), ("corrected", None)])
def test_batch_equals_frame_by_frame(recording, method, values):
    frames = np.asarray(pandry.open(recording))
    process = getattr(pandry.Processor(sensor="color", size=512), method)
    options = {} if values is None else {"values": values}
    batch = process(frames, **options)
    assert batch.shape[0] == 6
    for i in range(6):
        np.testing.assert_array_equal(batch[i], process(frames[i], **options))


# Catches a transposed frame (made contiguous, so the byte count is right) being taken for a
# frame and scrambled without a word.
def test_transposed_frame_refused():
    frame = np.ascontiguousarray(np.zeros((252, 152), np.uint8).T)
    with pytest.raises(ValueError, match=r"\(252, 152\).*got shape \(152, 252\)"):
        pandry.Processor().process(frame)


def test_settings_version_and_stubs():
    processor = pandry.Processor(sensor="color", size=512, offset=40, gain=5)
    assert (processor.sensor, processor.size, processor.offset, processor.gain,
            processor.calibration) == ("color", 512, 40, 5, None)
    assert pandry.__version__.count(".") >= 1
    folder = pathlib.Path(pandry.__file__).parent
    assert (folder / "py.typed").exists() and (folder / "_pandry.pyi").exists()


# Catches a recording that cannot travel to worker processes, or chunks read wrongly there:
# per-frame means on a local cluster equal numpy's.
def test_dask_on_a_local_cluster_equals_numpy(recording):
    dask_array = pytest.importorskip("dask.array")
    distributed = pytest.importorskip("distributed")
    rec = pandry.open(recording)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster):
        frames = dask_array.from_array(rec, chunks=(4, 252, 152))
        means = frames.mean(axis=(1, 2)).compute()
    np.testing.assert_allclose(means, np.asarray(rec).mean(axis=(1, 2)))


# Catches parallel export mixing up frames or their order: every output is byte for byte the
# one-job output.
@pytest.mark.parametrize("name", ["f-%02d.tif", "stream.y4m", "stack.ome.tif"])
def test_jobs_keep_every_byte_and_the_order(tmp_path, recording, name):
    outputs = []
    for jobs in ("1", "3"):
        folder = tmp_path / jobs
        folder.mkdir()
        export(recording, folder / name, "--jobs", jobs, "--sensor", "color")
        outputs.append({path.name: path.read_bytes() for path in sorted(folder.iterdir())})
    # Six pictures, a video with its times beside it, or one stack.
    files = {"f-%02d.tif": 6, "stream.y4m": 2, "stack.ome.tif": 1}[name]
    assert outputs[0] == outputs[1] and len(outputs[0]) == files


# Catches geometry out of step with the remap table (another layout, transposed, areas that
# do not add up), and the command line printing other values than Python's.
def test_geometry_follows_the_remap_table():
    geometry = pandry.geometry()
    for name in ("radius", "angle", "area", "physical"):
        assert getattr(geometry, name).shape == (252, 152)
    table = pandry.remap_table()
    inside = table[table != pandry.NO_SOURCE].astype(np.int64)
    counts = np.bincount(inside, minlength=252 * 152).reshape(252, 152)
    periphery = np.s_[:, 42:]
    np.testing.assert_array_equal(geometry.area[periphery], counts[periphery])
    # Only the centre pixel shows no sample: it lies on fovea ring 0, which has no sensor pixel.
    assert geometry.area[:, :42].sum() == counts[:, :42].sum() - 1
    assert counts[:, 0].sum() == 1 and not geometry.physical[:, 0].any()
    assert geometry.physical[periphery].all() and not geometry.physical.all()
    lines = subprocess.run([CLI, "geometry", "--csv"], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    assert lines[0] == "sector,ring,index,radius,angle,area,physical" and len(lines) == 38305
    sector, ring, index, radius, angle, area, physical = lines[1 + 7 * 152 + 60].split(",")
    assert (int(sector), int(ring), int(area)) == (7, 60, geometry.area[7, 60])
    assert float(radius) == pytest.approx(geometry.radius[7, 60], abs=1e-3)
