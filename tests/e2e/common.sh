# Shared by the end-to-end tests: a display of their own with a window manager, the program's
# windows found by title, and where the plan lies in the main window.
# shellcheck shell=bash

# The callers' tests run offscreen; these need the X display started here.
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
# The window's settings (recent archives, maximised state) stay out of the user's own.
export XDG_CONFIG_HOME=$work/config
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "e2e: $*" >&2
  local log
  for log in xvfb openbox metrola dragsource; do
    [ -s "$work/$log.log" ] && sed "s/^/  $log: /" "$work/$log.log" >&2
  done
  exit 1
}

# Polls a command until it succeeds, for at most $1 tenths of a second.
wait_for() {
  local tenths=$1
  shift
  for ((n = 0; n < tenths; n++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# Xvfb picks a free display number itself and writes it to fd 3, so two runs at the same time
# can never share a display.
start_display() {
  Xvfb -displayfd 3 -screen 0 1280x900x24 -dpi 96 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for 100 grep -q '[0-9]' "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(tr -dc '0-9' <"$work/display")"
  wait_for 100 xdpyinfo || fail "Xvfb did not answer on $DISPLAY"
  start_wm
  if ! wait_for 100 wm_ready; then
    # Seen once on a loaded machine: the window manager gone before it took the display.
    kill -0 "${pids[-1]}" 2>/dev/null || start_wm
    wait_for 200 wm_ready || fail "openbox did not start"
  fi
}
start_wm() {
  openbox >>"$work/openbox.log" 2>&1 &
  pids+=($!)
}
wm_ready() {
  xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"
}

# xdotool search --sync waits for the window to appear.
find_window() {
  timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n1
}

# Client-area origin of a window on the screen.
origin() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} END {print x, y}'
}

# The colour "r g b" of the pixels of a window at the given client points (x y pairs), one
# line each, grabbed with xwd.
pixels() {
  local window=$1
  shift
  xwd -id "$window" -silent >"$work/grab.xwd"
  python3 - "$work/grab.xwd" "$@" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
header_size, width, bpp, bytes_per_line, ncolours = h[0], h[4], h[11], h[12], h[19]
masks = h[14:17]
order = "<" if h[7] == 0 else ">"
pixels = header_size + 12 * ncolours
args = list(map(int, sys.argv[2:]))
for x, y in zip(args[::2], args[1::2]):
    value = struct.unpack(order + "I", data[pixels + y * bytes_per_line + x * 4:][:4])[0]
    print(" ".join(str((value & m) >> (m & -m).bit_length() - 1) for m in masks))
PY
}

# The y of the plan's top edge in the main window: the first row below the window's top whose
# pixels from x = 1 to x = $2 are all black, as a plan's top wall is.
plan_top() {
  xwd -id "$1" -silent >"$work/grab.xwd"
  python3 - "$work/grab.xwd" "$2" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
header_size, height, bytes_per_line, ncolours = h[0], h[5], h[12], h[19]
mask = h[14] | h[15] | h[16]
order = "little" if h[7] == 0 else "big"
span = int(sys.argv[2])
pixels = header_size + 12 * ncolours
for y in range(height):
    row = data[pixels + y * bytes_per_line:][: (span + 1) * 4]
    if all(int.from_bytes(row[x * 4:x * 4 + 4], order) & mask == 0 for x in range(1, span + 1)):
        print(y)
        break
PY
}

# plan_top, polled for up to five seconds while the window draws.
wait_plan_top() {
  local top n
  for ((n = 0; n < 50; n++)); do
    top=$(plan_top "$@")
    [ -n "$top" ] && echo "$top" && return 0
    sleep 0.1
  done
  return 1
}
