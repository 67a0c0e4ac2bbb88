"""Frames from a camera in a script: pandry.Camera, its frames and its recordings."""
import numpy as np

from ._pandry import CameraCore, Processor

_FRAME_FIELDS = ("index", "time_us", "offset", "gain", "gaze")


class Frame(np.ndarray):
    """One raw frame as the camera read it: a (252, 152) uint8 array (sectors, rings) that
    also carries its number in the run (index, from 0), its time (time_us, microseconds
    since the camera opened, on the clock recordings use), the offset and gain in force when
    it was read, and the gaze (x, y, field) it was sampled at for sources with a gaze, else
    None. Arrays made from a frame keep these attributes; np.asarray(frame) drops them."""

    def __array_finalize__(self, obj):
        for name in _FRAME_FIELDS:
            setattr(self, name, getattr(obj, name, None))

    def __reduce__(self):
        # Pickled (to a worker process) as a plain array with its attributes beside it.
        return (_frame_from, (np.asarray(self), *(getattr(self, n) for n in _FRAME_FIELDS)))


def _frame_from(pixels, *fields):
    frame = pixels.view(Frame)
    for name, value in zip(_FRAME_FIELDS, fields):
        setattr(frame, name, value)
    return frame


class RecordingRun:
    """A recording Camera.record started: it stores the frames its plan picks while the
    script goes on reading frames, and is put in place (file and sidecar) by wait() or
    stop(), or when the camera closes."""

    def __init__(self, camera, path):
        self._camera = camera
        self.path = path
        self.finished = False

    @property
    def stored(self):
        """Frames stored so far (time points, for a time-lapse)."""
        return self._camera._core.recording_stored if not self.finished else self._stored

    @property
    def done(self):
        """The plan has stored every frame it asked for, or its time is up."""
        return self.finished or self._camera._core.wait_recording(0)

    def wait(self, timeout=None):
        """Waits (without the GIL) for the plan to be done, then puts the recording in place;
        False when timeout seconds passed first (it goes on)."""
        if not self.finished and not self._camera._core.wait_recording(timeout):
            return False
        self.stop()
        return True

    def stop(self):
        """Ends the recording now and puts what it stored in place (OSError naming the file
        and the reason when that fails)."""
        if self.finished:
            return
        self._stored = self._camera._core.recording_stored
        self.finished = True
        if self._camera._recording is self:
            self._camera._recording = None
            self._camera._core.finish_recording()

    def open(self):
        """The finished recording, memory-mapped (pandry.open)."""
        from ._recording import open as open_recording
        self.wait()
        return open_recording(self.path)

    def __repr__(self):
        state = "finished" if self.finished else "recording"
        return f"pandry.RecordingRun({self.path!r}, {state}, stored={self.stored})"


class Camera:
    """A camera source read in a script, the same sources as pandry-cli's --camera ("auto",
    "sim", "image:PATH", "video:PATH", "webcam", "gst:PIPELINE", "replay:RUN.raw" with their
    options) and the same defaults: the sensor the source implies, offset 80, gain 3, size
    256, and calimage.data when the current folder holds one (calibration=None for none).
    Use it as a context manager: the source is stopped on leaving the block, on an exception
    and on Ctrl-C. Frames are read all the time on a thread of the camera's own; snap() and
    iteration give the newest frame not yet given (frames read meanwhile count as missed),
    waiting without the GIL. A wait that gets no frame within timeout seconds raises
    TimeoutError naming the source; a source that failed raises RuntimeError."""

    def __init__(self, source="auto", sensor=None, size=None, offset=None, gain=None,
                 calibration=..., timeout=5.0):
        self._core = CameraCore(str(source), sensor, size, offset, gain, calibration,
                                float(timeout))
        self._recording = None
        self._dark_in_memory = None
        self._processors = {}

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Stops reading; a recording still going is put in place, its end "interrupted"."""
        if self._recording is not None:
            run, self._recording = self._recording, None
            run._stored = self._core.recording_stored
            run.finished = True
        self._core.close()

    @property
    def closed(self):
        return not self._core.is_open

    def snap(self):
        """The next frame: newer than the last one given, read after every change of
        settings or gaze made before the call."""
        pixels, *fields = self._core.next_frame()
        return _frame_from(pixels, *fields)

    def __iter__(self):
        """Frame after frame until the camera is closed."""
        while not self.closed:
            try:
                yield self.snap()
            except RuntimeError:
                if self.closed:
                    return
                raise

    def frames(self, n):
        """The next n frames."""
        for _ in range(n):
            yield self.snap()

    def picture(self, frame, values="shown", view="remapped"):
        """A frame processed as Processor.process (view="remapped") or
        Processor.process_unmapped ("unmapped") gives it, with the sensor, size and
        calibration of the camera and the offset and gain the frame was read with."""
        key = (frame.offset, frame.gain)
        processor = self._processors.get(key)
        if processor is None:
            calibration = self.calibration or self._dark_in_memory
            processor = Processor(sensor=self.sensor, size=self.size, offset=frame.offset,
                                  gain=frame.gain, calibration=calibration)
            self._processors = {key: processor}
        if view == "remapped":
            return processor.process(frame, values)
        if view == "unmapped":
            return processor.process_unmapped(frame, values)
        raise ValueError(f"view must be 'remapped' or 'unmapped', not {view!r}")

    def pictures(self, n=None, values="shown", view="remapped"):
        """The pictures of the next n frames (of every frame while open when n is None), as
        picture() makes them."""
        frames = self if n is None else self.frames(n)
        for frame in frames:
            yield self.picture(frame, values, view)

    @property
    def missed(self):
        """Frames read that no snap or iteration took (the newest is always the one given)."""
        return self._core.missed

    @property
    def frames_read(self):
        return self._core.frames_read

    @property
    def source(self):
        return self._core.source

    @property
    def sensor(self):
        return self._core.sensor

    @property
    def size(self):
        return self._core.size

    @property
    def timeout(self):
        return self._core.timeout

    @property
    def offset(self):
        """The offset, -255 to 255 as in Settings; a change holds from the next frame."""
        return self._core.offset

    @offset.setter
    def offset(self, value):
        self._core.offset = value

    @property
    def gain(self):
        """The gain, 1 to 999 as in Settings; a change holds from the next frame."""
        return self._core.gain

    @gain.setter
    def gain(self, value):
        self._core.gain = value

    def auto_levels(self):
        """Chooses offset and gain from the next frame as Auto Levels does, in force from the
        frame after; returns (offset, gain). A frame with no range to spread keeps them."""
        offset, gain, _ = self._core.auto_levels()
        return self.offset, self.gain

    @property
    def calibration(self):
        """The dark image file in force, or None."""
        return self._core.calibration

    @calibration.setter
    def calibration(self, path):
        self._core.use_calibration(path)
        self._dark_in_memory = None
        self._processors = {}

    @property
    def dark_image(self):
        """The dark levels in force, (252, 152) int32 (zero without a calibration)."""
        return self._core.dark_image()

    def calibrate(self, frames=10, path="calimage.data"):
        """Averages the next frames into a dark image as the viewer's Calibrate does (each
        level the mean rounded to nearest, halves up), stores it in path (None: kept in
        memory only, so recordings name no calibration) and uses it from the next frame.
        Returns the dark levels, (252, 152) int32. Cover the lens first."""
        dark = self._core.calibrate(frames, path)
        self._dark_in_memory = None if path is not None else dark
        self._processors = {}
        return dark

    @property
    def gaze(self):
        """Where the sensor looks in the source's picture, (x, y) as fractions of its width
        and height; image:, video:, webcam and gst: sources only (AttributeError otherwise).
        A change holds from the next frame."""
        return self._core.gaze

    @gaze.setter
    def gaze(self, centre):
        self._core.gaze = tuple(centre)

    @property
    def field(self):
        """The sensor's outer diameter as a fraction of the picture's shorter side."""
        return self._core.field

    @field.setter
    def field(self, value):
        self._core.field = value

    @property
    def picture_size(self):
        """(width, height) of the source's latest picture, which the gaze moves over."""
        return self._core.picture_size

    def record(self, path, frames=None, seconds=None, every=None, average=1, wait=True):
        """Records as pandry-cli record does, through the same recorder: the frames read from
        now on, frames of them (or for seconds, whichever ends first), one time point every
        `every` seconds, each stored frame the mean of `average` frames read in a row, into
        path and its sidecar path + ".json", described with the settings in force now. With
        wait=True returns once it is in place; with wait=False at once, while it goes on
        beside the script's own frames. Returns the RecordingRun either way."""
        if self._recording is not None:
            raise RuntimeError(f"{self._recording.path} is still being recorded")
        path = str(path)
        self._core.start_recording(path, frames, seconds, every, average)
        run = self._recording = RecordingRun(self, path)
        if wait:
            run.wait()
        return run

    def __repr__(self):
        state = "closed" if self.closed else "open"
        return f"pandry.Camera({self.source!r}, {state})"
