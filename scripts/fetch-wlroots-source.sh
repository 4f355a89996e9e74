#!/usr/bin/env bash
# Downloads Debian's wlroots source package into .deps/wlroots (or $1) unless it is there.
# The deb-src entries are built from the machine's own apt sources (deb822 .sources files
# and one-line .list entries), with a private apt state: the system's configuration and
# package lists stay untouched. Needs dpkg-dev (apt-get source) and network access.
set -euo pipefail

repo="$(cd "$(dirname "$0")/.." && pwd)"
dest="${1:-$repo/.deps/wlroots}"
if compgen -G "$dest/wlroots_*.orig.tar.*" >/dev/null; then exit 0; fi
mkdir -p "$dest"
state="$(mktemp -d)"
trap 'rm -rf "$state"' EXIT
mkdir -p "$state/parts" "$state/lists/partial" "$state/cache/archives/partial"
: >"$state/empty.list"

found=0
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  # Every stanza that serves binary packages, served again as sources.
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       /(^|\n)Types:[^\n]*deb([ \t]|\n|$)/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' \
    "$f" >"$state/parts/$(basename "$f")"
  [ -s "$state/parts/$(basename "$f")" ] && found=1
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -e "$f" ] || continue
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$state/parts/from-lists.list"
  [ -s "$state/parts/from-lists.list" ] && found=1
done
if [ "$found" -eq 0 ]; then
  echo "velora: no apt sources found to fetch the wlroots source package from" >&2
  exit 1
fi

apt_opts=(-q -o "Dir::Etc::SourceList=$state/empty.list" -o "Dir::Etc::SourceParts=$state/parts"
          -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache")
# The private state is the caller's: apt's download user could not write it.
[ "$(id -u)" -eq 0 ] && apt_opts+=(-o "APT::Sandbox::User=root")
apt-get "${apt_opts[@]}" update >/dev/null
(cd "$dest" && apt-get "${apt_opts[@]}" source --download-only wlroots >/dev/null)
compgen -G "$dest/wlroots_*.orig.tar.*" >/dev/null || {
  echo "velora: the wlroots source package did not download into $dest" >&2
  exit 1
}
