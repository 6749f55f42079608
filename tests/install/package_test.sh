#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it and uses it as an installed
# program: read-only, started by an unprivileged user, working in a per-user folder.
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps file setpriv; do
  command -v "$tool" >/dev/null || fail "$tool is missing; the package cannot be built or checked here"
done

work=$(mktemp -d)
helper=
cleanup() {
  if [ -n "$helper" ]; then
    kill "$helper" 2>/dev/null || true
    wait "$helper" 2>/dev/null || true
  fi
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB could not build the package"
fi
debs=("$work"/out/metrola_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one metrola_<version>_amd64.deb, found: ${debs[*]}"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "metrola_${version}_amd64.deb" ] || fail "package file name $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Section)" = misc ] || fail "section is not misc"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in fonts-liberation libqt6widgets6 libqt6core6 libxlsxwriter libopencv-imgproc libpoppler-qt6 qt6-image-formats-plugins; do
  [[ $depends == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
description=$(dpkg-deb -f "$deb" Description)
[[ $description == *"floor areas"* && $description == *"площадей"* ]] || fail "description is not in English and Russian"

root=$work/root
dpkg-deb -x "$deb" "$root"
expected="usr/bin/metrola
usr/bin/metrola-cli
usr/share/applications/metrola.desktop
usr/share/icons/hicolor/scalable/apps/metrola.svg
usr/share/man/man1/metrola-cli.1.gz
usr/share/metainfo/org.metrola.Metrola.metainfo.xml
usr/share/metrola/samples/demo.zip"
actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "file list differs:
$(diff <(echo "$expected") <(echo "$actual"))"
desktop-file-validate "$root/usr/share/applications/metrola.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.metrola.Metrola.metainfo.xml" >/dev/null
gzip -t "$root/usr/share/man/man1/metrola-cli.1.gz"

# The installed tree is read-only and the programs are run by a user who owns nothing in it.
chmod -R a-w "$root"
touch "$work/unpacked"
home=$work/home
mkdir -m 700 "$home"
as_user=(env)
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env)
fi
# as_user_command [-u VARIABLE]... [VARIABLE=VALUE] COMMAND...: sets `command` to that command
# as that user, with the temporary HOME.
as_user_command() {
  local unset=()
  while [ "$1" = -u ]; do unset+=(-u "$2"); shift 2; done
  command=("${as_user[@]}" -u XDG_DATA_HOME -u METROLA_WORKDIR "${unset[@]}" HOME="$home" "$@")
}
run() {
  as_user_command "$@"
  "${command[@]}"
}
demo=$root/usr/share/metrola/samples/demo.zip

out=$(run "$root/usr/bin/metrola-cli" --version 2>"$work/err")
[ "$out" = "metrola-cli $version" ] || fail "metrola-cli --version printed '$out'"
[ ! -s "$work/err" ] || fail "metrola-cli --version wrote to stderr: $(cat "$work/err")"
run "$root/usr/bin/metrola-cli" info "$demo" >"$work/info" || fail "metrola-cli info failed on the demo"
grep -q "etazh1.bmp" "$work/info" || fail "metrola-cli info does not list the demo's plans: $(cat "$work/info")"

# Without a display the window program says so in one line and exits 1.
set +e
run -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/metrola" "$demo" >/dev/null 2>"$work/err"
status=$?
set -e
[ $status -eq 1 ] || fail "metrola without a display exited $status"
[ "$(wc -l <"$work/err")" -eq 1 ] && grep -q "дисплея" "$work/err" || fail "metrola without a display said: $(cat "$work/err")"

# Offscreen, it opens the demo in the per-user working folder.
# Started as a plain command, not through the function, so that $! is the program itself
# (a function in the background is a subshell, and killing it would leave the program running).
as_user_command QT_QPA_PLATFORM=offscreen "$root/usr/bin/metrola" "$demo"
"${command[@]}" >"$work/gui.log" 2>&1 &
helper=$!
folder=$home/.local/share/metrola/work
for _ in $(seq 1 100); do
  [ -f "$folder/metrola.csv" ] && [ -f "$folder/etazh1.bmp" ] && [ -f "$folder/etazh2.bmp" ] && break
  kill -0 "$helper" 2>/dev/null || fail "metrola ended early: $(cat "$work/gui.log")"
  sleep 0.2
done
[ -f "$folder/etazh2.bmp" ] || fail "metrola did not open the demo in $folder: $(ls -la "$folder" 2>&1)"
[ -f "$folder/.metrola.lock" ] || fail "metrola holds no lock in $folder"
[ "$(stat -c %a "$folder")" = 700 ] || fail "$folder has mode $(stat -c %a "$folder")"
[ "$(find "$root" -newer "$work/unpacked" | wc -l)" -eq 0 ] || fail "something was written into the installed tree"
echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes, opened the demo in $folder"
