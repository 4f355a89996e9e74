#!/usr/bin/env bash
# Builds the Debian package and checks it as a user and the distribution would:
#  - lintian reports no error and no warning;
#  - the menu entry, the AppStream metadata and the manual page pass the tools of the field
#    (desktop-file-validate, appstreamcli, man --warnings), and carry the program's version;
#  - `apt-get install ./velora_*.deb` in a fresh minimal Debian root (debootstrap, from the
#    machine's own mirror) pulls in what the program needs: `velora --version` runs there from
#    the installed files, with the Qt plug-ins it loads present;
#  - purging it (and what it pulled in) leaves the root's files as they were.
# Needs root (or sudo) for debootstrap and chroot.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "test-package: $*" >&2; exit 1; }

deb=$(scripts/package.sh build/package | tail -n1)
[ -f "$deb" ] || fail "no package was built"
version=$(dpkg-deb -f "$deb" Version)
echo "== $deb"
dpkg-deb -f "$deb" Depends

echo "== lintian"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian reports errors or warnings"

work=$(mktemp -d)
root="$work/root"
cleanup() { $sudo rm -rf --one-file-system "$work"; }
trap cleanup EXIT

echo "== contents"
dpkg-deb -x "$deb" "$work/files"
files="$work/files/usr"
for f in bin/velora share/applications/velora.desktop share/metainfo/io.github.velora.Velora.metainfo.xml \
    share/man/man1/velora.1.gz share/icons/hicolor/scalable/apps/velora.svg share/doc/velora/copyright; do
  [ -f "$files/$f" ] || fail "the package lacks /usr/$f"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$files/share/icons/hicolor/${size}x${size}/apps/velora.png"
  [ -f "$png" ] || fail "the package lacks the ${size}x${size} icon"
  file "$png" | grep -q "PNG image data, $size x $size" || fail "the ${size}x${size} icon is $(file -b "$png")"
done

echo "== desktop-file-validate, appstreamcli, man"
out=$(desktop-file-validate "$files/share/applications/velora.desktop" 2>&1) || fail "menu entry: $out"
[ -z "$out" ] || fail "menu entry: $out"
appstreamcli validate --no-net --explain "$files/share/metainfo/io.github.velora.Velora.metainfo.xml" ||
  fail "the AppStream metadata does not validate"
out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$files/share/man/man1/velora.1.gz" 2>&1 >/dev/null) || fail "man: $out"
[ -z "$out" ] || fail "the manual page renders with warnings: $out"
grep -q "<release version=\"$version\"" "$files/share/metainfo/io.github.velora.Velora.metainfo.xml" ||
  fail "the AppStream metadata has no release $version"
zcat "$files/share/man/man1/velora.1.gz" | grep -q "^\.TH VELORA 1 .*\"velora $version\"" ||
  fail "the manual page is not of version $version"
zcat "$files/share/doc/velora/changelog.gz" | head -n1 | grep -q "^velora ($version)" ||
  fail "the changelog's first entry is not $version"

echo "== a fresh Debian root"
. /etc/os-release
suite=${VERSION_CODENAME:?no codename in /etc/os-release}
# The machine's own Debian mirror: the one its apt fetches the suite's main part from.
mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(TARGET_OF)' |
  awk -v s="$suite" '$2 == s && $3 == "main" && $4 == "deb" { print $1; exit }')
[ -n "$mirror" ] || fail "no $suite main mirror in this machine's apt sources"
$sudo debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -n 20 "$work/debootstrap.log" >&2; fail "debootstrap of $suite from $mirror failed"; }
in_root() { $sudo env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive chroot "$root" "$@"; }
# Every file of the root with its type (and a file's size; a folder's grows and stays grown), apt's and dpkg's own records aside.
snapshot() {
  $sudo find "$root" -xdev \( -path "$root/var/lib/apt" -o -path "$root/var/lib/dpkg" -o -path "$root/var/cache" \
    -o -path "$root/var/log" -o -path "$root/tmp" -o -path "$root/proc" -o -path "$root/dev" \) -prune \
    -o -type f -printf '%P f %s\n' -o -printf '%P %y\n' | sort
}
snapshot >"$work/before"

echo "== apt-get install ./$(basename "$deb")"
$sudo cp "$deb" "$root/tmp/"
in_root apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
  { tail -n 20 "$work/install.log" >&2; fail "apt-get cannot install the package in a fresh root"; }
grep -E "^[0-9]+ upgraded, [0-9]+ newly installed" "$work/install.log"
got=$(in_root velora --version) || fail "the installed velora does not run: $got"
[ "$got" = "velora $version" ] || fail "the installed velora says '$got', not 'velora $version'"
# Plug-ins the program loads by name, which no linker records: the X11 platform, and the SVG
# icon engine and image reader of its icons.
for plugin in platforms/libqxcb.so iconengines/libqsvgicon.so imageformats/libqsvg.so; do
  ls "$root"/usr/lib/*/qt6/plugins/$plugin >/dev/null 2>&1 || fail "the installed root lacks Qt's $plugin"
done

echo "== apt-get purge"
in_root apt-get purge -y -q --autoremove velora >"$work/purge.log" 2>&1 ||
  { tail -n 20 "$work/purge.log" >&2; fail "apt-get cannot purge the package"; }
snapshot >"$work/after"
if ! diff -u "$work/before" "$work/after" >"$work/left"; then
  head -n 40 "$work/left" >&2
  fail "purging the package left the root changed"
fi
echo "test-package: the package installs, runs and purges cleanly"
