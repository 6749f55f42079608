#!/usr/bin/env bash
# Uses the main window as a person at work does, under Xvfb with a window manager, driven by
# xdotool: opens a project of 300 records with Ctrl+O, another one, and the first again through
# Файл → Недавние; finds one record with Ctrl+F and sees its room blink on its plan; zooms to
# 200 % with Ctrl+wheel and marks a room with a right click there; saves with Ctrl+S into the
# same archive without a dialog; and opens an archive dropped on the window.
#
# Usage: tests/e2e/main_window.sh path/to/metrola path/to/metrola-dragsource
# Starts and stops its own display and window manager and kills only the processes it started.
set -euo pipefail

program=$(realpath "$1")
dragsource=$(realpath "$2")
source "$(dirname "$0")/common.sh"
start_display

# Two plans of 30-pixel rooms in a grid: plan1.bmp 20 x 10 rooms, plan2.bmp 20 x 6. Rooms 0..189
# of plan1 and 10..119 of plan2 have records (300), the tenant of plan2's room 45 (column 5,
# row 2, label point 165, 75) is Omega; the first row of plan2 is unmarked. other.zip holds
# plan1 with one record.
python3 - "$work" <<'PY'
import struct, sys, zipfile
def bmp(cols, rows):
    w, h = cols * 30, rows * 30
    def pixel(x, y):
        wall = x % 30 == 0 or y % 30 == 0 or x == w - 1 or y == h - 1
        return b"\0\0\0" if wall else b"\xff\xff\xff"
    stride = (w * 3 + 3) & ~3
    data = b"".join(b"".join(pixel(x, y) for x in range(w)).ljust(stride, b"\0") for y in reversed(range(h)))
    return b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) \
        + struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0) + data
head = ["Арендаторы;Кв.метры;назв.комнат;Тип помещений;Торговые;Офисные;Производство;Складские;Прочие;м.;;",
        "ID плана;Название;Тип;Инфо1;Инфо2;Доп.Инф.;SYS-Цвет;SYS-X;SYS-Y;"]
def record(plan, room, tenant, key):
    x, y = room % 20 * 30 + 15, room // 20 * 30 + 15
    return f"{plan};Room {room};офис;10;{tenant};;{key};{x};{y};"
def archive(path, records, plans):
    csv = "\r\n".join(head + records + [";;;;;;;;;"]) + "\r\n"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, rows in plans:
            z.writestr(name, bmp(20, rows))
        z.writestr("metrola.csv", csv.encode("cp1251"))
records = [record("plan1.bmp", r, f"T-{r:03d}", 9000000 - r) for r in range(190)]
records += [record("plan2.bmp", r, "Omega" if r == 45 else f"U-{r:03d}", 8000000 - r) for r in range(10, 120)]
assert len(records) == 300
archive(sys.argv[1] + "/project.zip", records, [("plan1.bmp", 10), ("plan2.bmp", 6)])
archive(sys.argv[1] + "/other.zip", [record("plan1.bmp", 0, "Other", 7000000)], [("plan1.bmp", 10)])
PY

mkdir "$work/program"
METROLA_WORKDIR="$work/program" "$program" >"$work/metrola.log" 2>&1 &
pids+=($!)
main=$(find_window "^Metrola - программа") || fail "the main window did not appear"
[ -n "$main" ] || fail "the main window did not appear"
# Keys reach the window once the window manager has given it the focus.
sleep 1

title_has() {
  xdotool getwindowname "$main" | grep -q -- "$1"
}
open_dialog_shown() {
  xdotool search --onlyvisible --name "^открытие архива Metrola"
}
open_with_ctrl_o() {
  xdotool windowactivate --sync "$main"
  xdotool key ctrl+o
  wait_for 100 open_dialog_shown || fail "Ctrl+O did not show the open dialog; windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>&1 | tr "\n" ",") active: $(xdotool getactivewindow getwindowname 2>&1)"
  sleep 0.3
  xdotool type --delay 10 "$1"
  xdotool key Return
  opened_or_replace "$1"
}
# Both archives hold plan1.bmp: the copy in the working folder is replaced, as asked.
opened_or_replace() {
  local n question
  for ((n = 0; n < 100; n++)); do
    title_has "— $(basename "$1")" && sleep 0.5 && return 0
    question=$(xdotool search --onlyvisible --name "^Файл уже существует$" 2>/dev/null | head -n1 || true)
    if [ -n "$question" ]; then
      xdotool windowactivate --sync "$question" key Return
      sleep 0.3
    fi
    sleep 0.1
  done
  fail "$(basename "$1") did not open"
}

open_with_ctrl_o "$work/project.zip"
open_with_ctrl_o "$work/other.zip"

# The window was placed around the plan; the plan's top wall gives the menu bar's height.
read -r mx my < <(origin "$main")
top=$(wait_plan_top "$main" 598) || fail "the plan is not to be seen in the main window"
menubar=$((top - 137))
# Файл is the menu bar's first title; Недавние its second item, project.zip the list's second.
xdotool mousemove --sync $((mx + 20)) $((my + menubar / 2))
xdotool click 1
sleep 0.4
xdotool key Down Down Right
sleep 0.3
xdotool key Down Return
opened_or_replace "$work/project.zip"
echo "e2e: opened with Ctrl+O and again through Недавние"
sleep 0.5

# Ctrl+F, one match among 300, Enter: plan2 is shown and Omega's room blinks between its key
# and white.
xdotool key ctrl+f
sleep 0.2
xdotool type --delay 20 "Omega"
xdotool key Return
read -r mx my < <(origin "$main")
# The blink lasts about 3 s from whenever the search has shown plan2; watched for up to three
# times that, until both colours have been seen.
seen=""
for ((n = 0; n < 80; n++)); do
  seen+="$(pixels "$main" 165 $((top + 75)))"$'\n'
  grep -q "^255 255 255$" <<<"$seen" && grep -vq "^255 255 255$" <<<"$seen" && break
  sleep 0.08
done
grep -q "^255 255 255$" <<<"$seen" || fail "Omega's room did not blink white: $(sort -u <<<"$seen" | tr '\n' ',')"
grep -vq "^255 255 255$" <<<"$seen" || fail "Omega's room stayed white"
echo "e2e: the search found one record of 300 and its room blinked"
sleep 3 # the blink ends

# Ctrl+wheel twice over plan2's unmarked room at column 1, row 0 (plan point 45, 15): 200 %,
# the point staying under the pointer; a right click there marks that room.
xdotool mousemove --sync $((mx + 45)) $((my + top + 15))
xdotool keydown ctrl
xdotool click 4
sleep 0.2
xdotool click 4
xdotool keyup ctrl
sleep 0.5
xdotool click 3
dialog=$(find_window "^Ввод и редактирование записи$") || fail "the record dialog did not appear"
[ -n "$dialog" ] || fail "the record dialog did not appear"
sleep 0.3
for field in "Zoomed" "7" "Zoom room" "at 200"; do
  xdotool type --delay 20 "$field"
  xdotool key Return
  sleep 0.2
done
wait_for 50 sh -c "! xwininfo -id $dialog | grep -q 'Map State: IsViewable'" \
  || fail "the record dialog is still open after the last Enter"

# Ctrl+S writes project.zip again, asking nothing.
before=$(stat -c %Y.%s "$work/project.zip")
xdotool windowactivate --sync "$main"
xdotool key ctrl+s
saved() { [ "$(stat -c %Y.%s "$work/project.zip")" != "$before" ]; }
wait_for 100 saved || fail "Ctrl+S did not write project.zip"
if xdotool search --onlyvisible --name "^Сохранение комплекса" >/dev/null 2>&1; then
  fail "Ctrl+S asked for a name"
fi
line=$(python3 - "$work/project.zip" <<'PY'
import sys, zipfile
for line in zipfile.ZipFile(sys.argv[1]).read("metrola.csv").decode("cp1251").split("\r\n"):
    if ";Zoomed;" in line:
        print(line)
PY
)
python3 - "$line" <<'PY' || fail "the room marked at 200 % reads '$line'"
import sys
cells = sys.argv[1].split(";")
assert cells[0] == "plan2.bmp" and cells[4] == "Zoomed", cells
x, y = int(cells[7]), int(cells[8])
assert 30 < x < 60 and 0 < y < 30, (x, y)
PY
echo "e2e: marked at 200 % and saved with Ctrl+S: $line"

# other.zip dragged from a file manager's stand-in and dropped on the plan opens it.
"$dragsource" "$work/other.zip" >"$work/dragsource.log" 2>&1 &
pids+=($!)
source_window=$(find_window "^metrola-dragsource$") || fail "the drag source did not appear"
[ -n "$source_window" ] || fail "the drag source did not appear"
read -r sx sy < <(origin "$source_window")
xdotool mousemove --sync $((sx + 80)) $((sy + 50))
xdotool mousedown 1
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove $((sx + 80 + (mx + 300 - sx - 80) * step / 8)) $((sy + 50 + (my + top + 100 - sy - 50) * step / 8))
  sleep 0.1
done
xdotool mouseup 1
opened_or_replace "$work/other.zip"
echo "e2e: the dropped archive opened"
