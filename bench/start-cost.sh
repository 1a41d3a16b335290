#!/usr/bin/env bash
# The start of the program against a minimal Qt Widgets window (pelminwindow), alternated under one
# private X server: the time until the first window exists, and, once it has been up for a moment,
# the resident memory (VmRSS) and the number of shared libraries mapped. A start with an empty home
# folder stops at the period selection, so this is a start that only enters a month.
# Needs Xvfb and xdotool (a measuring tool, not a dependency of the program).
# Usage: bench/start-cost.sh RUNS PROGRAM [MINIMAL]   (MINIMAL defaults to build/pelminwindow)
#   -> one line per run, then the medians and the program's ratios to the minimal window.
set -u
runs=$1
prog=$2
minimal=${3:-$(cd "$(dirname "$0")/.." && pwd)/build/pelminwindow}
pattern='給与対象月'
for tool in Xvfb xdotool; do command -v $tool >/dev/null || { echo "$tool is missing" >&2; exit 1; }; done
[ -x "$minimal" ] || { echo "no minimal window at $minimal (cmake --build build --target pelminwindow)" >&2; exit 1; }

for d in $(seq 150 199); do [ -e /tmp/.X11-unix/X$d ] || { disp=:$d; break; }; done
Xvfb "$disp" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xpid=$!
rt=$(mktemp -d)
chmod 700 "$rt"
trap 'kill $xpid 2>/dev/null; rm -rf "$rt"' EXIT
export DISPLAY=$disp XDG_RUNTIME_DIR=$rt HOME=$rt
for i in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

one() { # PROGRAM -> "ms kB libraries", or nothing when it ended before its window
    local t0 t1 pid rss libs
    t0=$(date +%s%N)
    "$1" >/dev/null 2>&1 &
    pid=$!
    while ! xdotool search --name "$pattern" >/dev/null 2>&1; do
        kill -0 $pid 2>/dev/null || return
        sleep 0.003
    done
    t1=$(date +%s%N)
    sleep 0.5
    rss=$(awk '/^VmRSS/ {print $2}' /proc/$pid/status)
    libs=$(grep -o '/[^ ]*\.so[^ /]*$' /proc/$pid/maps | sort -u | wc -l)
    kill $pid 2>/dev/null
    wait $pid 2>/dev/null
    echo "$(((t1 - t0) / 1000000)) $rss $libs"
}
med() { sort -n | sed -n "$((($runs + 1) / 2))p"; }
a=()
b=()
for r in $(seq "$runs"); do
    for k in 1 2 3 4 5; do x=$(one "$minimal"); [ -n "$x" ] && break; sleep 0.2; done
    a+=("$x")
    for k in 1 2 3 4 5; do x=$(one "$prog"); [ -n "$x" ] && break; sleep 0.2; done
    b+=("$x")
    echo "run $r: minimal ${a[-1]}, program ${b[-1]} (ms kB libraries)"
done
for i in 1 2 3; do
    ma[$i]=$(printf '%s\n' "${a[@]}" | cut -d' ' -f$i | med)
    mb[$i]=$(printf '%s\n' "${b[@]}" | cut -d' ' -f$i | med)
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", b/a}'; }
echo "median start: minimal ${ma[1]} ms, program ${mb[1]} ms, ratio $(ratio "${ma[1]}" "${mb[1]}")"
echo "median VmRSS: minimal ${ma[2]} kB, program ${mb[2]} kB, ratio $(ratio "${ma[2]}" "${mb[2]}")"
echo "shared libraries mapped: minimal ${ma[3]}, program ${mb[3]}"
