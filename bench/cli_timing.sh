#!/bin/sh
# Times metrola-cli on a generated archive of 20 plans and 5,000 records.
# Usage: bench/cli_timing.sh [path/to/metrola-cli]   (default: build/cli/src/cli/metrola-cli)
# The goal is under 2 s for info and for schedule each.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/cli/src/cli/metrola-cli}
[ -x "$cli" ] || { echo "no metrola-cli at $cli; build it first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/big.zip" <<'PY'
import struct, sys, zipfile

PLANS, ROOMS_X, ROOMS_Y, CELL_W, CELL_H = 20, 25, 10, 40, 70   # 250 rooms a plan
W, H = ROOMS_X * CELL_W, ROOMS_Y * CELL_H

def plan_bmp():
    # White rooms in a grid of black walls, 24-bit bottom-up rows.
    stride = (W * 3 + 3) & ~3
    wall, room = b"\0\0\0", b"\xff\xff\xff"
    line = b"".join(wall if x % CELL_W == 0 else room for x in range(W)).ljust(stride, b"\0")
    solid = (wall * W).ljust(stride, b"\0")
    rows = b"".join(solid if y % CELL_H == 0 else line for y in range(H - 1, -1, -1))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + rows

types = ["торг", "офис", "прво", "склд", "проч"]
lines = ["Арендатор;Площадь;Помещение;Тип;Торговые;Офисные;Производство;Складские;Прочие;м.;;",
         "План;Помещение;Тип;Площадь;Арендатор;Инфо;Ключ;X;Y;"]
key = 1
for p in range(PLANS):
    for i in range(ROOMS_X * ROOMS_Y):
        x = (i % ROOMS_X) * CELL_W + CELL_W // 2
        y = (i // ROOMS_X) * CELL_H + CELL_H // 2
        tenant = "" if i % 7 == 0 else f"Арендатор {p}-{i}"
        lines.append(f"plan{p:02}.bmp;Помещение {i};{types[i % 5]};{10 + i % 90},{i % 100:02};"
                     f"{tenant};;{key * 97};{x};{y};")
        key += 1
lines.append(";;;;;;01.02.2024;;03.04.2024;")
bmp = plan_bmp()
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for p in range(PLANS):
        z.writestr(f"plan{p:02}.bmp", bmp)
    z.writestr("metrola.csv", ("\r\n".join(lines) + "\r\n").encode("cp1251"))
PY

now() { date +%s.%N; }
timed() {
    label=$1; shift
    start=$(now)
    "$@" >/dev/null || { rc=$?; [ "$rc" -eq 1 ] || exit "$rc"; }
    end=$(now)
    printf "%s %.3f s\n" "$label" "$(echo "$end - $start" | bc)"
}
echo "archive: $(du -k "$work/big.zip" | cut -f1) KiB, 20 plans, 5000 records"
for i in 1 2 3; do
    timed "info     " "$cli" info "$work/big.zip"
    timed "info-json" "$cli" info "$work/big.zip" --json
    timed "schedule " "$cli" schedule "$work/big.zip" -o "$work/out.xlsx"
    timed "check    " "$cli" check "$work/big.zip"
done
