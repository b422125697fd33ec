#!/usr/bin/env bash
# The CPU a live session of the real program burns: the README's run command (shipped 128-microphone
# profile, synthetic source, Live workspace) on a private Xvfb, Start pressed with the pointer, then the
# process's user plus system time from /proc/<pid>/stat over a window, as a share of one core. The
# OpenMP settings come from the caller's environment (unset: the program's own), for example
#   tools/live-session-cpu.sh build/release 30
#   GOMP_SPINCOUNT=100000 tools/live-session-cpu.sh build/release 30
# Needs Xvfb and xdotool (tools/install-deps.sh installs both).
set -euo pipefail
build="${1:-build/release}"
seconds="${2:-30}"
root="$(mktemp -d)"
xvfb=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT

exec 3>"$root/display"
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp >"$root/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$root/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$root/display")"

mkdir -p "$root/home/config" "$root/runtime"
chmod 700 "$root/runtime"
HOME="$root/home" XDG_CONFIG_HOME="$root/home/config" XDG_RUNTIME_DIR="$root/runtime" TMPDIR="$root" \
    QT_QPA_PLATFORM=xcb "$build/sorvanta" --profile "$build/profiles/TM27-128-H1.6.2.device.json" \
    --source Synthetic --workspace live >"$root/app.log" 2>&1 &
app=$!

window=""
for _ in $(seq 120); do
    window="$(xdotool search --onlyvisible --name '^Sorvanta Studio v' 2>/dev/null | head -n1 || true)"
    [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] || { echo "live-session-cpu: the window never appeared" >&2; exit 1; }
sleep 3

ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
hz="$(getconf CLK_TCK)"
# Without a window manager the 1680 x 1000 window sits at the origin; Start is the first button of the
# session controls at the foot of the sidebar.
before="$(ticks)"
sleep 2
idle="$(( $(ticks) - before ))"
xdotool mousemove --sync 59 760 click 1
sleep 10
start="$(ticks)"
sleep "$seconds"
used="$(( $(ticks) - start ))"
if [ "$(( used * 2 ))" -le "$(( idle * seconds * 10 ))" ]; then
    echo "live-session-cpu: the session did not start (CPU did not rise after Start)" >&2
    exit 1
fi
awk -v used="$used" -v hz="$hz" -v s="$seconds" -v policy="${OMP_WAIT_POLICY-<program>}" \
    -v spin="${GOMP_SPINCOUNT-<unset>}" 'BEGIN {
    printf "live session: %.1f %% of a core over %d s (OMP_WAIT_POLICY %s, GOMP_SPINCOUNT %s)\n",
        100 * used / hz / s, s, policy, spin }'
