#!/usr/bin/env bash
# Runs a command of the built tree as an ordinary user (uid 65534), where CI runs everything else
# as root: what root is let through (another owner's folder, a mode nobody may read) stops an
# ordinary user, and some tests only reach what they check without root. Run as root. The user's
# view of the tree is set up in a mount namespace of its own, so that nothing outside changes:
# a folder above the tree that the user cannot pass is replaced there by an open one holding the
# tree, and the build's files only their owner may read (the tables are written 0600) by copies
# the user owns. The command gets a home of its own, removed at the end.
# Usage: as-user.sh command [arguments...]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
uid=65534
if ! getent passwd "$uid" >/dev/null; then
  useradd --system --uid "$uid" --user-group --no-create-home --shell /usr/sbin/nologin pelmoras-test
fi
gid=$(getent passwd "$uid" | cut -d: -f4)
name=$(getent passwd "$uid" | cut -d: -f1)
home=$(mktemp -d /tmp/pelmoras-user.XXXXXX)
trap 'rm -rf "$home"' EXIT
chown "$uid:$gid" "$home"
chmod 700 "$home"

unshare --mount --propagation private bash -s "$repo" "$uid" "$gid" "$name" "$home" "$@" <<'INNER'
set -euo pipefail
repo=$1 uid=$2 gid=$3 name=$4 home=$5
shift 5
as_user() { setpriv --reuid="$uid" --regid="$gid" --clear-groups "$@"; }
# The topmost folder on the way to the tree that the user cannot pass.
top=
path=
IFS=/ read -ra parts <<<"${repo#/}"
for part in "${parts[@]}"; do
  path=$path/$part
  if ! as_user test -x "$path"; then top=$path; break; fi
done
if [ -n "$top" ]; then
  stage=$(mktemp -d)
  mount --bind "$repo" "$stage"
  mount -t tmpfs -o mode=0755 tmpfs "$top"
  mkdir -p "$repo"
  mount --move "$stage" "$repo"
fi
n=0
while IFS= read -r -d '' f; do
  n=$((n + 1))
  cp "$f" "$home/.readable-$n"
  chown "$uid:$gid" "$home/.readable-$n"
  mount --bind "$home/.readable-$n" "$f"
done < <(find "$repo/build" \( -name '*.o' -o -name '*.a' \) -prune -o -type f ! -perm -o=r -print0)
cd "$repo"
as_user env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME="$home" USER="$name" LOGNAME="$name" \
  TMPDIR=/tmp LANG=C.UTF-8 QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$@"
INNER
