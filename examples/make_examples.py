#!/usr/bin/env python3
"""Writes Velmora's bundled example data set (synthetic, fixed seed).

    python3 examples/make_examples.py [OUTPUT_FOLDER]

writes skulls.txt, age.txt and skull_wires.txt into OUTPUT_FOLDER (default:
the folder of this script).  Only the Python standard library is used, and
the output is the same on every run.

The model: twelve skull landmarks (millimetres; x to the specimen's left,
y forward, z up, origin between the ear openings) whose form grows with age.
Every landmark's position relative to the origin scales with overall size
raised to its own allometric exponent: the face (prosthion, nasion, zygia,
orbitalia) grows faster than size (exponent > 1), the vault (bregma, lambda)
slower (exponent < 1), so a child's skull has a relatively large vault and a
small face.  Each specimen then gets a random size factor, Gaussian noise on
every coordinate, a random rotation and a random translation, and its
centroid size is measured from those raw coordinates.
"""

import math
import os
import random
import sys

SEED = 20240611
SPECIMENS = 80
AGE_MIN, AGE_MAX = 1.0, 20.0
NOISE_MM = 0.8
SIZE_SPREAD = 0.04  # standard deviation of ln(size factor)
TRANSLATION_MM = 40.0

# name, adult position (mm), allometric exponent
LANDMARKS = [
    ("prosthion", (0.0, 92.0, -32.0), 1.45),
    ("nasion", (0.0, 86.0, 26.0), 1.20),
    ("bregma", (0.0, 12.0, 78.0), 0.70),
    ("lambda", (0.0, -78.0, 56.0), 0.75),
    ("opisthion", (0.0, -42.0, -26.0), 0.95),
    ("basion", (0.0, -6.0, -22.0), 1.00),
    ("left porion", (62.0, 0.0, 0.0), 0.90),
    ("right porion", (-62.0, 0.0, 0.0), 0.90),
    ("left zygion", (66.0, 56.0, -10.0), 1.35),
    ("right zygion", (-66.0, 56.0, -10.0), 1.35),
    ("left orbitale", (33.0, 79.0, 1.0), 1.25),
    ("right orbitale", (-33.0, 79.0, 1.0), 1.25),
]

# wire number, landmark, landmark (landmarks numbered from 1)
WIRES = [
    (1, 1, 2),    # prosthion - nasion: facial height
    (2, 2, 3),    # nasion - bregma: frontal bone
    (3, 3, 4),    # bregma - lambda: parietal arc
    (4, 4, 5),    # lambda - opisthion: occipital
    (5, 5, 6),    # opisthion - basion: foramen magnum
    (6, 6, 1),    # basion - prosthion: cranial base to face
    (7, 2, 11),   # nasion - left orbitale
    (8, 2, 12),   # nasion - right orbitale
    (9, 11, 9),   # left orbitale - left zygion
    (10, 12, 10),  # right orbitale - right zygion
    (11, 9, 7),   # left zygion - left porion: zygomatic arch
    (12, 10, 8),  # right zygion - right porion
    (13, 7, 6),   # left porion - basion
    (14, 8, 6),   # right porion - basion
]


def size_at(age):
    """Overall size relative to the adult: 0.62 at birth, ~1 at 20 years."""
    return 1.0 - 0.38 * math.exp(-age / 5.0)


def random_rotation(rng):
    """A uniformly distributed rotation matrix (Shoemake's quaternion method)."""
    u1, u2, u3 = rng.random(), rng.random(), rng.random()
    a, b = math.sqrt(1.0 - u1), math.sqrt(u1)
    w = a * math.sin(2.0 * math.pi * u2)
    x = a * math.cos(2.0 * math.pi * u2)
    y = b * math.sin(2.0 * math.pi * u3)
    z = b * math.cos(2.0 * math.pi * u3)
    return [
        [1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
        [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
        [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)],
    ]


def centroid_size(points):
    k = len(points)
    centre = [sum(p[d] for p in points) / k for d in range(3)]
    return math.sqrt(sum((p[d] - centre[d]) ** 2 for p in points for d in range(3)))


def specimen(rng, age):
    grown = size_at(age)
    factor = math.exp(rng.gauss(0.0, SIZE_SPREAD))
    rotation = random_rotation(rng)
    shift = [rng.gauss(0.0, TRANSLATION_MM) for _ in range(3)]
    points = []
    for _, adult, exponent in LANDMARKS:
        scale = factor * grown ** exponent
        p = [scale * c + rng.gauss(0.0, NOISE_MM) for c in adult]
        points.append([sum(p[e] * rotation[e][d] for e in range(3)) + shift[d] for d in range(3)])
    return points


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = random.Random(SEED)
    ages = [round(rng.uniform(AGE_MIN, AGE_MAX), 1) for _ in range(SPECIMENS)]
    rows = []
    for age in ages:
        points = specimen(rng, age)
        numbers = [c for p in points for c in p] + [centroid_size(points)]
        rows.append(" ".join("%.6f" % v for v in numbers))
    with open(os.path.join(folder, "skulls.txt"), "w", newline="\n") as f:
        f.write("\n".join(rows) + "\n")
    with open(os.path.join(folder, "age.txt"), "w", newline="\n") as f:
        f.write("".join("%.6f\n" % a for a in ages))
    with open(os.path.join(folder, "skull_wires.txt"), "w", newline="\n") as f:
        f.write("".join("%d %d %d\n" % w for w in WIRES))


if __name__ == "__main__":
    main()
