"""Finding and comparing the demo's pictures in compositor captures (RGB,
alpha ignored)."""
import numpy as np
from PIL import Image


def rgb(path):
    return np.array(Image.open(path).convert("RGB")).astype(int)


def find(shot, picture):
    """Top-left (x, y) where the picture sits exactly in the capture, or None."""
    h, w = picture.shape[:2]
    first = picture[0, 0]
    ys, xs = np.nonzero(np.all(shot[: shot.shape[0] - h + 1, : shot.shape[1] - w + 1] == first, axis=2))
    for y, x in zip(ys, xs):
        if not np.array_equal(shot[y, x:x + w], picture[0]):
            continue
        if np.array_equal(shot[y:y + h, x:x + w], picture):
            return int(x), int(y)
    return None
