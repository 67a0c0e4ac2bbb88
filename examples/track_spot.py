"""Closed-loop active vision: keep the brightest moving spot in the fovea by moving the gaze.

Runs twice on the same moving scene, once with the gaze held still and once steering it
toward the spot seen in each frame, and prints the spot's mean distance from the sensor's
centre in each run (in sensor radii; 1 when the spot is out of view).
usage: track_spot.py [SOURCE] [FRAMES]"""
import sys

import numpy as np

import pandry

SOURCE = "gst:videotestsrc pattern=ball"
geometry = pandry.geometry()
# Where each sample sits: x to the right, y downward, in sensor radii (the picture is 512 wide).
X = geometry.radius * np.cos(np.radians(geometry.angle)) / 256
Y = -geometry.radius * np.sin(np.radians(geometry.angle)) / 256
PHYSICAL = geometry.physical


def spot(frame):
    """The bright spot's centre (x, y) in sensor radii, or None when nothing stands out."""
    levels = np.asarray(frame, np.float32)
    top, background = levels[PHYSICAL].max(), np.median(levels[PHYSICAL])
    if top - background < 8:
        return None
    bright = PHYSICAL & (levels >= top - 0.2 * (top - background))
    weight = geometry.area * bright
    return (X * weight).sum() / weight.sum(), (Y * weight).sum() / weight.sum()


def run(camera, frames, steer):
    camera.gaze, distances = (0.5, 0.5), []
    for frame in camera.frames(frames):
        seen = spot(frame)
        distances.append(1.0 if seen is None else float(np.hypot(*seen)))
        if steer and seen is not None:
            width, height = camera.picture_size
            disc = camera.field * min(width, height) / 2  # the sensor's radius in pixels
            x, y = frame.gaze[:2]  # move from where this frame looked
            camera.gaze = (x + 0.7 * seen[0] * disc / width, y + 0.7 * seen[1] * disc / height)
    return float(np.mean(distances))


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else SOURCE
    frames = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    with pandry.Camera(source, calibration=None) as camera:
        camera.field = 1.0  # the whole height of the picture in view
        still, steered = run(camera, frames, False), run(camera, frames, True)
    print(f"mean distance from the centre: {still:.3f} held still, {steered:.3f} steered")
    return still, steered


if __name__ == "__main__":
    main()
