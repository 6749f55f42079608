#!/usr/bin/python3
"""metrola-cli repaint against the same job in Python with OpenCV, both as whole processes.

Builds a project archive of one 7000 x 5000 24-bit plan with 800 rooms, then runs three
times each:
  ours:   metrola-cli repaint project.zip -p plan.bmp -o ours.bmp
  OpenCV: read the members with zipfile, cv2.imdecode the plan, cv2.floodFill every room's
          label point with its key (4-connected, exact colour, one mask reused), cv2.imencode
          it as BMP and write it out.
It prints the best time of each and their ratio (goal: at most 0.4) and checks that both
pictures are pixel-identical.

Usage: bench/repaint_vs_opencv.py [path/to/metrola-cli]
       (default build/release/src/cli/metrola-cli, built with cmake when missing)
Needs: apt-get install python3-opencv python3-numpy
"""
import os
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
W, H = 7000, 5000
ROOMS_X, ROOMS_Y, WALL = 40, 20, 4
PLAN = "plan.bmp"

try:
    import cv2  # noqa: F401
    import numpy  # noqa: F401
except ImportError:
    # Debian's packages serve Debian's interpreter, which another python3 on PATH may hide.
    if sys.executable != "/usr/bin/python3" and os.access("/usr/bin/python3", os.X_OK):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    sys.exit("needs OpenCV and NumPy for Python 3: apt-get install python3-opencv python3-numpy")

# The OpenCV side, run as its own process: python3 -c JOB archive plan output
JOB = r"""
import sys, zipfile
import numpy as np, cv2
archive, plan, output = sys.argv[1:4]
with zipfile.ZipFile(archive) as z:
    lines = z.read("metrola.csv").decode("cp1251").split("\r\n")
    data = z.read(plan)
image = cv2.imdecode(np.frombuffer(data, np.uint8), cv2.IMREAD_COLOR)
mask = np.zeros((image.shape[0] + 2, image.shape[1] + 2), np.uint8)
for line in lines[2:-2]:
    cells = line.split(";")
    if cells[0] != plan:
        continue
    key, x, y = int(cells[6]), int(cells[7]), int(cells[8])
    colour = ((key >> 16) & 255, (key >> 8) & 255, key & 255)
    cv2.floodFill(image, mask, (x, y), colour, (0, 0, 0), (0, 0, 0), 4)
ok, encoded = cv2.imencode(".bmp", image)
with open(output, "wb") as f:
    f.write(encoded.tobytes())
"""


def plan_bmp():
    """White rooms between black walls, every fifth room with a coloured band, bottom-up."""
    cell_w, cell_h = W // ROOMS_X, H // ROOMS_Y
    stride = (W * 3 + 3) & ~3
    rows = []
    for y in range(H - 1, -1, -1):
        if y % cell_h < WALL:
            rows.append(b"\0" * stride)
            continue
        band = y % cell_h < 40
        line = bytearray(b"\xff" * (W * 3))
        for c in range(ROOMS_X):
            line[c * cell_w * 3:(c * cell_w + WALL) * 3] = b"\0" * (WALL * 3)
            room = (y // cell_h) * ROOMS_X + c
            if band and room % 5 == 0:
                colour = bytes(((room * 37) % 200 + 20, (room * 91) % 200 + 20, (room * 53) % 200 + 20))
                line[(c * cell_w + WALL) * 3:(c + 1) * cell_w * 3] = colour * (cell_w - WALL)
        rows.append(bytes(line).ljust(stride, b"\0"))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def project(path):
    cell_w, cell_h = W // ROOMS_X, H // ROOMS_Y
    types = ["торг", "офис", "прво", "склд", "проч"]
    lines = ["Арендатор;Площадь;Помещение;Тип;Торговые;Офисные;Производство;Складские;Прочие;м.;;",
             "План;Помещение;Тип;Площадь;Арендатор;Инфо;Ключ;X;Y;"]
    for i in range(ROOMS_X * ROOMS_Y):
        x = (i % ROOMS_X) * cell_w + WALL + (cell_w - WALL) // 2
        y = (i // ROOMS_X) * cell_h + cell_h - 20  # below the coloured band
        lines.append(f"{PLAN};Помещение {i};{types[i % 5]};{10 + i % 90},5;Арендатор {i};;"
                     f"{(i + 1) * 9973};{x};{y};")
    lines.append(";;;;;;01.02.2024;;03.04.2024;")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(PLAN, plan_bmp())
        z.writestr("metrola.csv", ("\r\n".join(lines) + "\r\n").encode("cp1251"))


def best_of(runs, command):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True)
        times.append(time.perf_counter() - start)
    return min(times), times


def main():
    cli = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/release/src/cli/metrola-cli")
    if not os.access(cli, os.X_OK):
        subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", "release", "-j2", "--target", "metrola-cli"],
                       cwd=ROOT, check=True)
    import cv2
    import numpy as np
    with tempfile.TemporaryDirectory() as work:
        archive = os.path.join(work, "project.zip")
        project(archive)
        ours_out = os.path.join(work, "ours.bmp")
        cv_out = os.path.join(work, "opencv.bmp")
        ours_cmd = [cli, "repaint", archive, "-p", PLAN, "-o", ours_out]
        cv_cmd = [sys.executable, "-c", JOB, archive, PLAN, cv_out]
        # One untimed run each, so both start with the archive and the programs in the cache.
        subprocess.run(ours_cmd, check=True)
        subprocess.run(cv_cmd, check=True)
        ours, ours_all = best_of(3, ours_cmd)
        theirs, theirs_all = best_of(3, cv_cmd)
        a = cv2.imread(ours_out, cv2.IMREAD_UNCHANGED)
        b = cv2.imread(cv_out, cv2.IMREAD_UNCHANGED)
        same = a is not None and b is not None and a.shape == b.shape and np.array_equal(a, b)
        print(f"archive: {os.path.getsize(archive) // 1024} KiB, plan {W} x {H}, {ROOMS_X * ROOMS_Y} rooms")
        print("metrola-cli repaint: best %.3f s  (runs %s)" % (ours, ", ".join("%.3f" % t for t in ours_all)))
        print("Python + OpenCV:     best %.3f s  (runs %s)" % (theirs, ", ".join("%.3f" % t for t in theirs_all)))
        ratio = ours / theirs
        print("ratio %.2fx (goal <= 0.40x) %s" % (ratio, "met" if ratio <= 0.4 else "NOT MET"))
        print("pictures pixel-identical: %s" % ("yes" if same else "NO"))
        return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
