#!/usr/bin/env bash
# Fails when scripts/run.sh builds more than the program (the tests take minutes that a user who
# only wants to start the program should not wait for), or when scripts/build.sh without
# --program no longer builds everything for scripts/test.sh. cmake is replaced by a stand-in that
# records how it is called, so nothing is configured, built or installed, and the started program
# is a stand-in too. Usage: check-run-script.sh [source root].
set -euo pipefail
root="$(cd "${1:-$(dirname "$0")/..}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/prefix"
cat >"$work/bin/cmake" <<'STUB'
#!/usr/bin/env bash
echo "cmake $*" >>"$CALLS"
# The build's target list, with or without the updater.
if [ "$*" = "--build build --target help" ]; then
  echo "pelmoras: phony"
  [ -n "${WITH_UPDATER:-}" ] && echo "pelmoras-update: phony"
fi
exit 0
STUB
printf '#!/bin/sh\necho started "$@" >>"$CALLS"\n' >"$work/prefix/pelmoras"
chmod +x "$work/bin/cmake" "$work/prefix/pelmoras"
export PATH="$work/bin:$PATH" PELMORAS_PREFIX="$work/prefix"
bad=0
fail() { echo "$1"; cat "$CALLS"; bad=1; }
builds() { grep -E '^cmake --build build --parallel [0-9]+' "$CALLS" || true; }

for updater in "" yes; do
  export CALLS="$work/calls$updater" WITH_UPDATER="$updater"
  : >"$CALLS"
  bash "$root/scripts/run.sh" --x >/dev/null
  want="--target pelmoras${updater:+ pelmoras-update}"
  [ "$(builds | sed -E 's/^cmake --build build --parallel [0-9]+ ?//')" = "$want" ] ||
    fail "run.sh must build only: $want${updater:+ (the build has an updater)}"
  grep -q "^cmake --install build --prefix $work/prefix" "$CALLS" || fail "run.sh must install into the prefix"
  grep -q '^started --x$' "$CALLS" || fail "run.sh must start the installed program with its arguments"
done

export CALLS="$work/calls-all"
: >"$CALLS"
bash "$root/scripts/build.sh" >/dev/null
[ "$(builds | grep -c -- '--target')" = 0 ] && [ "$(builds | wc -l)" = 1 ] ||
  fail "build.sh without --program must build everything (scripts/test.sh relies on it)"
((bad)) && exit 1
echo "run.sh builds and installs the program only"
