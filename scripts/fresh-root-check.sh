#!/usr/bin/env bash
# A developer's check that the test command passes on a machine where only what the project
# installs is present: a fresh Debian 12 (bookworm) minbase root made by debootstrap from this
# machine's configured mirror, a clean clone of the repository's committed HEAD inside it, and
# scripts/test.sh run there by chroot (/proc, /sys, /dev, /dev/pts and /dev/shm bound in). Not
# part of the test command; needs root and debootstrap.
#   scripts/fresh-root-check.sh [DIR]   the root goes to DIR (default: a new temporary folder),
#                                       which is removed afterwards unless KEEP_ROOT=1; a root
#                                       left there by an earlier run is removed first
# CHECK_COMMAND replaces the command run inside (default: bash .ci/run, the README's test
# command), e.g. CHECK_COMMAND=scripts/deps.sh to check the install steps alone.
# REUSE_ROOT=1 keeps the root of an earlier KEEP_ROOT=1 run (what it installed and built stays)
# and only brings its clone to the committed HEAD: to rerun one stage after a fix, e.g.
#   KEEP_ROOT=1 REUSE_ROOT=1 CHECK_COMMAND="scripts/test-wayland.sh build-asan" scripts/fresh-root-check.sh DIR
# The run is long (the whole test command on a machine's cores): on a shared machine run it
# under nice.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" = 0 ] || { echo "fresh-root-check.sh: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "fresh-root-check.sh: debootstrap is not installed" >&2; exit 1; }

# The machine's own Debian mirror: deb822 sources first, then the one-line format.
mirror=""
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  mirror=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i !~ /security/) { print $i; exit } }' "$f")
  [ -n "$mirror" ] && break
done
if [ -z "$mirror" ]; then
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    mirror=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { if ($i !~ /security/) print $i; break } }' "$f" | head -n1)
    [ -n "$mirror" ] && break
  done
fi
[ -n "$mirror" ] || { echo "fresh-root-check.sh: no Debian mirror configured in /etc/apt" >&2; exit 1; }

root=${1:-$(mktemp -d /var/tmp/velora-fresh-root.XXXXXX)}
root=$(realpath -m "$root")
# Nothing may be mounted under the root when it is made or removed.
if findmnt -rn -o TARGET | grep -q "^$root/"; then
  echo "fresh-root-check.sh: something is still mounted under $root; unmount it first" >&2; exit 1
fi
reuse=0
if [ "${REUSE_ROOT:-0}" = 1 ]; then
  [ -d "$root/velora/.git" ] || { echo "fresh-root-check.sh: REUSE_ROOT=1, but $root holds no earlier run" >&2; exit 1; }
  reuse=1
elif [ -n "$(ls -A "$root" 2>/dev/null)" ]; then
  rm -rf --one-file-system "$root" "$root.debootstrap.log"
fi
mkdir -p "$root"
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  if [ "${KEEP_ROOT:-0}" != 1 ]; then rm -rf --one-file-system "$root" "$root.debootstrap.log"; fi
}
trap cleanup EXIT

start=$(date +%s)
if [ "$reuse" = 0 ]; then
  echo "== debootstrap bookworm (minbase) from $mirror into $root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { echo "fresh-root-check.sh: debootstrap failed (log: $root.debootstrap.log)" >&2; exit 1; }
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
for d in proc sys dev dev/pts dev/shm; do
  mkdir -p "$root/$d"
  mount --bind "/$d" "$root/$d"
  mounted+=("$root/$d")
done

if [ "$reuse" = 1 ]; then
  echo "== the earlier clone brought to $(git -C "$repo" rev-parse --short HEAD)"
  git -C "$root/velora" fetch -q "$repo" HEAD
  git -C "$root/velora" reset -q --hard FETCH_HEAD
else
  echo "== a clean clone of $(git -C "$repo" rev-parse --short HEAD)"
  git clone -q --no-local "$repo" "$root/velora"
  # A CI machine has git (it cloned the repository); minbase has not.
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    bash -c "apt-get update -qq && apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null"
fi

command=${CHECK_COMMAND:-bash .ci/run}
echo "== $command inside the root ($(( $(date +%s) - start )) s so far)"
status=0
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 CI=true bash -c "cd /velora && $command" || status=$?
echo "fresh-root-check.sh: status $status after $(( $(date +%s) - start )) s"
exit "$status"
