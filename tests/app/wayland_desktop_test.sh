#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# The program on a Wayland desktop: a headless sway with one 1600x1000 output
# at scale 2, every window of ours floating as GNOME and Plasma place them.
# sway refuses to run as root, so the test runs it, and the program, as an
# unprivileged user it makes for itself. Checks: the window fits the output
# (800x500 logical), the compositor draws it (grim), a click of the seat's
# pointer on the page's third DPI stage chooses it, a second start ends with
# 0 and leaves one window, and closing the window from the compositor ends
# the program, which saves on the way out (the chosen stage, read back with
# vantorelctl when its path is given). With a stand-in for another
# application, the focus is moved to its window before a second start, which
# must give it back to ours: once from a terminal (no token of its own), once
# with a token the compositor issued.
# With a test program and a filter it runs those GoogleTest cases under the
# same sway instead.
# Usage: wayland_desktop_test.sh PATH-TO-qv-vantorel [--stand-in PATH-TO-wayland_stand_in]
#                                [--ctl PATH-TO-vantorelctl]
#        wayland_desktop_test.sh PATH-TO-qv-vantorel TEST-PROGRAM FILTER
set -u
program=$1
shift
stand_in=
ctl=
while :; do
  case "${1:-}" in
    --stand-in) stand_in=$2; shift 2 ;;
    --ctl) ctl=$2; shift 2 ;;
    *) break ;;
  esac
done
tests=${1:-}
filter=${2:-}
skip() { echo "SKIP: $*"; exit 77; }
for tool in sway swaymsg jq runuser; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -x "$program" ] || skip "no program at $program"
[ -e /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so ] ||
  ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 || skip "Qt's Wayland platform (qt6-wayland) is not installed"
[ "$(id -u)" = 0 ] || skip "making a user for sway (which refuses root) needs root"
user=vantorel-sway
if ! id "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user" 2>/dev/null || skip "no user could be made for sway"
fi

dir=$(mktemp -d) || exit 1
chmod 755 "$dir"
mkdir -m 700 "$dir/home" "$dir/run"
chown "$user" "$dir/home" "$dir/run"
cat >"$dir/config" <<CONFIG
output HEADLESS-1 resolution 1600x1000 scale 2
for_window [app_id="io.github.qvvantorel.QVVantorel"] floating enable
# What lets a program that asks to be activated take the focus (where its
# workspace is visible); sway's default only marks it urgent.
focus_on_window_activation smart
CONFIG
chmod 644 "$dir/config"

# The sanitizer builds' options go along (the user's environment is
# otherwise emptied).
as_user() {
  runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" \
    WAYLAND_DISPLAY=wayland-1 QT_QPA_PLATFORM=wayland QV_VANTOREL_DEBUG=1 ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK} \
    ${ASAN_OPTIONS:+ASAN_OPTIONS=$ASAN_OPTIONS} ${UBSAN_OPTIONS:+UBSAN_OPTIONS=$UBSAN_OPTIONS} \
    ${TSAN_OPTIONS:+"TSAN_OPTIONS=$TSAN_OPTIONS"} "$@"
}
sway_pid=
app_pid=
stand_in_pid=
finish() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null; fi
  if [ -n "$stand_in_pid" ]; then kill "$stand_in_pid" 2>/dev/null; fi
  # runuser passes no signal on to sway: sway is asked to end itself.
  if [ -n "${SWAYSOCK:-}" ]; then as_user swaymsg exit >/dev/null 2>&1; fi
  if [ -n "$sway_pid" ]; then wait "$sway_pid" 2>/dev/null; fi
  rm -rf "$dir"
}
trap finish EXIT
fail() {
  echo "FAIL: $*"
  for log in sway app second stand-in; do [ -f "$dir/$log.log" ] && { echo "--- $log"; tail -n 30 "$dir/$log.log"; }; done
  exit 1
}
wait_for() {  # seconds, command...
  n=$(( $1 * 10 )); shift
  while [ "$n" -gt 0 ]; do "$@" && return 0; sleep 0.1; n=$((n - 1)); done
  return 1
}

as_user env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$dir/config" \
  >"$dir/sway.log" 2>&1 &
sway_pid=$!
wait_for 10 test -S "$dir/run/wayland-1" || fail "sway did not start"
wait_for 5 sh -c "ls '$dir/run'/sway-ipc.* >/dev/null 2>&1" || fail "sway has no IPC socket"
SWAYSOCK=$(ls "$dir/run"/sway-ipc.*)

if [ -n "$tests" ]; then
  as_user "$tests" --gtest_filter="$filter" >"$dir/app.log" 2>&1
  status=$?
  cat "$dir/app.log"
  [ "$status" = 0 ] || fail "$filter failed under sway"
  grep -q "OK \]" "$dir/app.log" || fail "$filter did not run"
  echo "PASS"
  exit 0
fi

ours() { as_user swaymsg -t get_tree -r | jq -c '[recurse(.nodes[]?, .floating_nodes[]?) | select(.app_id == "io.github.qvvantorel.QVVantorel")]'; }
count() { [ "$(ours | jq length)" = "$1" ]; }
focused() { as_user swaymsg -t get_tree -r | jq -r '[recurse(.nodes[]?, .floating_nodes[]?) | select(.focused)][0].app_id'; }
focus_is() { [ "$(focused)" = "$1" ]; }

as_user "$program" --demo --data-dir "$dir/home/data" >"$dir/app.log" 2>&1 &
app_pid=$!
wait_for 20 count 1 || fail "the window never appeared"
# Its size settles with the first configure.
sleep 1
rect=$(ours | jq -c '.[0].rect')
width=$(echo "$rect" | jq .width)
height=$(echo "$rect" | jq .height)
echo "window: $rect on an output of 800x500 (logical)"
[ "$width" -le 800 ] && [ "$height" -le 500 ] || fail "the window ($width x $height) is larger than the output (800 x 500)"

if command -v grim >/dev/null 2>&1; then
  as_user grim "$dir/home/shot.png" || fail "grim could not take a screenshot"
  [ -s "$dir/home/shot.png" ] || fail "the screenshot is empty"
fi

# A pointer clicks the third DPI stage's button where the page has it,
# 556,195 in the window's 800-wide layout (the demo's profile starts on the
# second).
if [ -n "$stand_in" ]; then
  x=$(( $(echo "$rect" | jq .x) + $(ours | jq '.[0].window_rect.x') + 556 ))
  y=$(( $(echo "$rect" | jq .y) + $(ours | jq '.[0].window_rect.y') + 195 ))
  desktop=$(as_user swaymsg -t get_tree -r | jq -c .rect)
  as_user "$stand_in" click "$x" "$y" "$(echo "$desktop" | jq .width)" "$(echo "$desktop" | jq .height)" \
    2>>"$dir/stand-in.log" || fail "the pointer could not click"
fi

ours_id=io.github.qvvantorel.QVVantorel
if [ -n "$stand_in" ]; then
  as_user "$stand_in" window >"$dir/stand-in.log" 2>&1 &
  stand_in_pid=$!
  wait_for 10 focus_is vantorel-stand-in || fail "the stand-in's window did not take the focus (it is on $(focused))"
fi

as_user "$program" >"$dir/second.log" 2>&1
status=$?
[ "$status" = 0 ] || fail "a second start ended with $status"
grep -q "raised on request of a later start" "$dir/app.log" || fail "the running copy was not asked to show itself"
count 1 || fail "a second start left $(ours | jq length) windows"

if [ -n "$stand_in" ]; then
  wait_for 5 focus_is "$ours_id" || fail "a second start from a terminal left the focus on $(focused)"
  # A launcher's token: one the compositor issued for our application.
  as_user swaymsg '[app_id="vantorel-stand-in"] focus' >/dev/null || fail "sway could not focus the stand-in"
  wait_for 5 focus_is vantorel-stand-in || fail "the focus did not move to the stand-in (it is on $(focused))"
  token=$(as_user "$stand_in" token "$ours_id" 2>>"$dir/stand-in.log") || fail "the compositor issued no activation token"
  as_user env XDG_ACTIVATION_TOKEN="$token" "$program" >"$dir/second.log" 2>&1
  status=$?
  [ "$status" = 0 ] || fail "a second start with a launcher's token ended with $status"
  wait_for 5 focus_is "$ours_id" || fail "a second start with a launcher's token left the focus on $(focused)"
  echo "the focus came back to the window both times"
fi

# The compositor closes the window: the program ends as Quit does.
as_user swaymsg '[app_id="io.github.qvvantorel.QVVantorel"] kill' >/dev/null || fail "sway could not close the window"
wait_for 10 sh -c "! kill -0 $app_pid 2>/dev/null" || fail "closing the window did not end the program"
wait "$app_pid"
status=$?
app_pid=
[ "$status" = 0 ] || fail "the program ended with $status"
[ -s "$dir/home/data/ms_1/pro.data" ] || fail "no profile file was saved"
if [ -n "$ctl" ] && [ -n "$stand_in" ]; then
  stage=$("$ctl" --data-dir "$dir/home/data" get 2>/dev/null | sed -n 's/^active-stage=//p')
  [ "$stage" = 3 ] || fail "the click on the third DPI stage left the saved profile on stage ${stage:-none}"
  echo "the click chose the third DPI stage, and the profile was saved with it"
fi
echo "PASS"
