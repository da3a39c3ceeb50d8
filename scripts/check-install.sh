#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what an owner's system
# would get: every file in its place, a program that runs from there, the
# samples found through ../share, and a desktop entry that starts it with the
# file it is handed. Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
stage=$(mktemp -d "${TMPDIR:-/tmp}/brimo_install.XXXXXX")
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/usr" >/dev/null
fail() { echo "install check: $*" >&2; exit 1; }
for f in bin/brimocnc share/applications/brimocnc.desktop share/mime/packages/brimocnc.xml \
  share/icons/hicolor/scalable/apps/brimocnc.svg share/man/man1/brimocnc.1.gz \
  share/brimocnc/gcodes/pocket.txt; do
  [ -f "$stage/usr/$f" ] || fail "missing $f"
done
desktop=$stage/usr/share/applications/brimocnc.desktop
grep -qx 'Exec=brimocnc %f' "$desktop" || fail "the desktop entry does not start brimocnc with the file"
grep -qx 'MimeType=text/x-gcode;text/x.gcode;text/plain;' "$desktop" || fail "MIME types"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
for glob in nc ngc tap gcode; do
  grep -q "<glob pattern=\"\*\.$glob\"/>" "$stage/usr/share/mime/packages/brimocnc.xml" ||
    fail "no glob for .$glob"
done
gzip -t "$stage/usr/share/man/man1/brimocnc.1.gz" || fail "man page"
version=$("$stage/usr/bin/brimocnc" --version)
[[ $version == "brimocnc "* ]] || fail "--version said: $version"
# A user with no settings yet: the simulation reads (never writes) the
# user's folder, so HOME stays empty.
home="$stage/home"
mkdir -p "$home"
HOME=$home XDG_CONFIG_HOME= "$stage/usr/bin/brimocnc" --simulate \
  "$stage/usr/share/brimocnc/gcodes/pocket.txt" --json >"$stage/out.jsonl" ||
  fail "the installed program could not simulate a sample"
[ -z "$(ls -A "$home")" ] || fail "the simulation wrote into the user's home"
echo "install check: ok ($version)"
