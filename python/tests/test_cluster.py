"""Pictures, statistics and OME-Zarr stores of several recordings, made on worker processes."""
import csv
import os
import subprocess

import numpy as np
import pytest

import pandry

distributed = pytest.importorskip("distributed")
import pandry.dask  # noqa: E402 - after the skip: it needs dask

CLI = os.environ["PANDRY_CLI"]


@pytest.fixture(scope="module")
def recordings(tmp_path_factory):
    """A mono and a colour recording, of lengths that leave a short last chunk."""
    folder = tmp_path_factory.mktemp("cluster")
    made = []
    for name, camera, frames in [("mono.raw", "sim,fps=0", "7"),
                                 ("color.raw", "sim-color,fps=0", "5")]:
        subprocess.run([CLI, "record", "--camera", camera, "--frames", frames, "--calibration",
                        "none", folder / name], check=True, stdout=subprocess.DEVNULL)
        made.append(str(folder / name))
    return made


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as connected:
        yield connected


def serial(path, values, view, **settings):
    processor = pandry.Processor.for_recording(path, **settings)
    frames = pandry.open(path)[:]
    if view == "remapped":
        return processor.process(frames, values)
    return processor.process_unmapped(frames, values)


# Catches chunks put out of order or lost at a recording's end, settings other than each
# recording's own, and the views and values mixed up on the workers.
@pytest.mark.parametrize("values, view, settings", [
    ("shown", "remapped", {}), ("raw", "remapped", {"size": 512}),
    ("corrected", "unmapped", {"gain": 7}), ("shown", "unmapped", {"sensor": "color"})])
def test_pictures_on_workers_equal_the_serial_loop(client, recordings, values, view, settings):
    pictures = pandry.dask.pictures(recordings, values, view, chunks=3, **settings)
    assert pictures.counts == [7, 5]
    np.testing.assert_array_equal(pictures.compute(), np.concatenate(
        [serial(path, values, view, **settings) for path in recordings]))


# Catches a chunk's memory made over while a slice of it is still held (each thread makes
# its next chunk in the last one's memory once nothing holds it), and "auto" chunks that are
# not dask's chunk size.
def test_reused_chunk_memory_is_never_memory_still_held(recordings):
    import dask
    with dask.config.set({"array.chunk-size": "400KiB", "scheduler": "synchronous"}):
        pictures = pandry.dask.pictures(recordings[0], size=256)
        assert pictures.chunks[0] == (2, 2, 2, 1)  # 400 KiB holds 2 pictures of 192 KiB
        views = pictures.map_blocks(lambda block: block[:, 100:101])  # held until the end
        rows, levels = dask.compute(views, pictures.max(axis=(1, 2, 3)))
    expected = serial(recordings[0], "shown", "remapped", size=256)
    np.testing.assert_array_equal(rows, expected[:, 100:101])
    np.testing.assert_array_equal(levels, expected.max(axis=(1, 2, 3)))


# Catches statistics other than the program's, rows lost between recordings, or fields
# shifted in the parse.
def test_stats_on_workers_equal_the_program(client, recordings):
    table = pandry.dask.stats(recordings, values="corrected", gain=5).compute()
    expected = []
    for position, path in enumerate(recordings):
        printed = subprocess.run([CLI, "stats", "--csv", "--values", "corrected", "--gain", "5",
                                  path], check=True, capture_output=True, text=True).stdout
        expected += [(position, row) for row in csv.DictReader(printed.splitlines())]
    assert len(table) == len(expected) == 7 + 5 * 3
    for got, (position, row) in zip(table, expected):
        assert got["recording"] == position and got["channel"] == row["channel"]
        assert (got["index"], got["time_us"], got["min"], got["max"]) == \
            (int(row["index"]), int(row["time_us"]), int(row["min"]), int(row["max"]))
        assert got["mean"] == pytest.approx(float(row["mean"]), abs=1e-4)
        assert got["std"] == pytest.approx(float(row["std"]), abs=1e-4)


def sidecar_times(path):
    frames = pandry.open(path).metadata["frames"]
    return [frame["time_us"] for frame in frames], [frame["index"] for frame in frames]


# Catches a store that NGFF 0.4 readers refuse (axes, their order and types, datasets and
# their transforms, the chunk separator), pixels other than the pictures', and times, indices
# or settings that are not the recordings' own.
@pytest.mark.parametrize("which, axes", [([0], "tyx"), ([0, 1], "tcyx"), ([1], "tcyx")])
def test_ome_zarr_store_reads_back(client, tmp_path, recordings, which, axes):
    zarr = pytest.importorskip("zarr")
    import dask.array
    paths = [recordings[k] for k in which]
    pandry.to_ome_zarr(paths, tmp_path / "lab.ome.zarr", chunks=4)
    with pytest.raises(FileExistsError, match="lab.ome.zarr"):  # not lost to a typo
        pandry.to_ome_zarr(paths, tmp_path / "lab.ome.zarr")
    group = zarr.open_group(str(tmp_path / "lab.ome.zarr"), mode="r")
    [image] = group.attrs["multiscales"]
    assert image["version"] == "0.4"
    assert "".join(axis["name"] for axis in image["axes"]) == axes
    kinds = {"t": "time", "c": "channel", "y": "space", "x": "space"}
    assert [axis["type"] for axis in image["axes"]] == [kinds[name] for name in axes]
    assert image["axes"][0]["unit"] == "second"
    [dataset] = image["datasets"]
    [scale] = dataset["coordinateTransformations"]
    assert scale["type"] == "scale" and len(scale["scale"]) == len(axes) and scale["scale"][0] > 0
    assert group[dataset["path"]]._dimension_separator == "/"

    pictures = np.concatenate([serial(path, "shown", "remapped") for path in paths])
    expected = np.moveaxis(pictures, 3, 1) if "c" in axes else pictures[..., 0]
    stored = dask.array.from_zarr(str(tmp_path / "lab.ome.zarr"), component=dataset["path"])
    np.testing.assert_array_equal(stored.compute(), expected)

    described = group.attrs["pandry"]
    times, indices = zip(*(sidecar_times(path) for path in paths))
    assert described["frames"]["time_us"] == sum(times, [])
    assert described["frames"]["index"] == sum(indices, [])
    for entry, path in zip(described["recordings"], paths):
        metadata = pandry.open(path).metadata
        for key in ("start_time", "sensor", "end", "dropped_frames"):
            assert entry[key] == metadata[key], key
        assert entry["settings"] == pandry.Processor.for_recording(path).settings
    assert described["software"]["version"] == pandry.__version__


# Catches stored chunks lost or written twice where the chunks are shared out among tasks,
# and a task's chunk made over the memory of the one it wrote before.
def test_ome_zarr_chunks_shared_out_among_tasks_are_all_written(client, tmp_path, recordings):
    zarr = pytest.importorskip("zarr")
    import dask
    with dask.config.set({"array.chunk-size": "300KiB"}):  # two stored chunks of 2 a task
        pandry.to_ome_zarr(recordings[0], tmp_path / "t.ome.zarr", size=256, chunks=2)
    stored = zarr.open_group(str(tmp_path / "t.ome.zarr"), mode="r")["0"][:]
    np.testing.assert_array_equal(stored,
                                  serial(recordings[0], "shown", "remapped", size=256)[..., 0])
