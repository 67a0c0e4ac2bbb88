"""Time-lapse: a time point a second, each the mean of four frames, the view wider each time."""
import sys
import pandry

out, points, every = sys.argv[1:4] if len(sys.argv) == 4 else ("timelapse.raw", "5", "1.0")
with pandry.Camera("gst:videotestsrc pattern=ball", calibration=None) as camera:
    run = camera.record(out, frames=int(points), every=float(every), average=4, wait=False)
    for frame in camera:  # the script reads on while the recording runs
        camera.field = 0.5 + 0.1 * run.stored  # a setting changed between time points
        if run.done:
            break
    run.wait()
print(f"{run.stored} time points in {out}")
