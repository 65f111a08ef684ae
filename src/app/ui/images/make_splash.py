#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the start-up picture splash.jpg (and the program icon stellon.png):
# a banded gas giant with two moons on a starry sky, with the program's name.
# Needs numpy and ImageMagick's convert. Run from this folder.
import math
import subprocess

import numpy as np

W, H = 440, 260
rng = np.random.default_rng(7)


def planet(w, h, cx, cy, R, sky):
    yy, xx = np.mgrid[0:h, 0:w]
    img = sky.copy()
    dx = (xx - cx) / R
    dy = (yy - cy) / (R * 0.94)
    r2 = dx * dx + dy * dy
    lat = dy
    bands = np.sin(lat * 9.5) * 0.5 + 0.5
    turb = np.sin(lat * 23 + np.sin(dx * 3) * 0.8) * 0.08
    base = np.stack([205 + 35 * bands, 170 + 30 * bands, 130 + 25 * bands], -1)
    dark = np.stack([150 + 0 * bands, 105 + 0 * bands, 75 + 0 * bands], -1)
    mix = np.clip(0.35 + 0.5 * np.abs(np.sin(lat * 6.3)) + turb, 0, 1)[..., None]
    col = base * mix + dark * (1 - mix)
    spot = ((dx - 0.28) / 0.2) ** 2 + ((dy - 0.33) / 0.09) ** 2 < 1
    col[spot] = col[spot] * 0.6 + np.array([190, 95, 70]) * 0.4
    mu = np.sqrt(np.clip(1 - r2, 0, 1))
    col = col * (0.35 + 0.65 * mu ** 0.6)[..., None]
    # anti-aliased limb
    a = np.clip((1.0 - np.sqrt(r2)) * R + 0.5, 0, 1)[..., None]
    return img * (1 - a) + col * a


yy, xx = np.mgrid[0:H, 0:W]
sky = np.zeros((H, W, 3), float)
sky[..., 2] += 10 * (1 - yy / H)
sky[..., 1] += 5 * (1 - yy / H)
for _ in range(140):
    x, y = rng.integers(0, W), rng.integers(0, H)
    b = rng.uniform(60, 255)
    sky[y, x] = [b, b, b * 0.95]
    if b > 200:
        for ddx, ddy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            if 0 <= x + ddx < W and 0 <= y + ddy < H:
                sky[y + ddy, x + ddx] = np.maximum(sky[y + ddy, x + ddx], b * 0.35)
img = planet(W, H, 318, 130, 92, sky)
for mx, my, mr in ((214, 131, 2.8), (429, 128, 2.6)):
    d = np.hypot(xx - mx, yy - my)
    m = d < mr
    img[m] = np.maximum(img[m], np.array([235, 230, 220])[None, :] * (1 - d[m][:, None] / mr * 0.5))
img = np.clip(img, 0, 255).astype(np.uint8)
with open("/tmp/stellon-splash.ppm", "wb") as f:
    f.write(b"P6 %d %d 255\n" % (W, H))
    f.write(img.tobytes())
subprocess.run(["convert", "/tmp/stellon-splash.ppm",
                "-font", "URW-Gothic-Demi", "-pointsize", "50", "-fill", "#f0e6d0", "-annotate", "+24+92", "Stellon",
                "-font", "DejaVu-Sans", "-pointsize", "13", "-fill", "#b8b0a0",
                "-annotate", "+28+120", "Webcam planetary imaging",
                "-annotate", "+28+139", "frame \u00b7 select \u00b7 combine",
                "-strip", "-quality", "90", "splash.jpg"], check=True)

# Program icon: the same planet alone, 64 x 64 with a transparent sky.
S = 64
icon = planet(S, S, 31.5, 31.5, 30, np.zeros((S, S, 3), float))
yy, xx = np.mgrid[0:S, 0:S]
r = np.hypot((xx - 31.5) / 30, (yy - 31.5) / (30 * 0.94))
alpha = (np.clip((1.0 - r) * 30 + 0.5, 0, 1) * 255).astype(np.uint8)
rgba = np.dstack([np.clip(icon, 0, 255).astype(np.uint8), alpha])
with open("/tmp/stellon-icon.pam", "wb") as f:
    f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (S, S))
    f.write(rgba.tobytes())
subprocess.run(["convert", "/tmp/stellon-icon.pam", "-strip", "stellon.png"], check=True)
