#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package from a finished build tree, installs it into a
# scratch root, checks its files and metadata, starts the installed program
# from there and removes the package again.
# Usage: scripts/package_check.sh BUILD_DIR
set -euo pipefail
BUILD=$(realpath "${1:-build}")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

(cd "$BUILD" && cpack -G DEB -B "$WORK/out" >/dev/null)
DEB=$(ls "$WORK"/out/qv-vantorel_*.deb)
echo "package: $(basename "$DEB")"
dpkg-deb -f "$DEB" Depends | grep -q 'libqt6' || { echo "no Qt in Depends"; exit 1; }
dpkg-deb -e "$DEB" "$WORK/control"
grep -q 'udevadm control --reload-rules' "$WORK/control/postinst"

ROOT=$WORK/root
mkdir -p "$ROOT/var/lib/dpkg/info" "$ROOT/var/lib/dpkg/updates"
touch "$ROOT/var/lib/dpkg/status"
DPKG=(dpkg --root="$ROOT" --force-depends --force-script-chrootless --log=/dev/null)
# The scratch root has none of the dependencies; dpkg's complaints go away.
"${DPKG[@]}" -i "$DEB" >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log"; exit 1; }

ID=io.github.qvvantorel.QVVantorel
MULTIARCH=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
expected=(
  usr/bin/qv-vantorel usr/bin/vantorelctl
  "usr/lib/$MULTIARCH/qv-vantorel/libhiddriver_2.so" "usr/lib/$MULTIARCH/qv-vantorel/libHook.so"
  usr/share/qv-vantorel/res/main.xml usr/share/qv-vantorel/res/lan.xml usr/share/qv-vantorel/res/lan/de.xml
  usr/lib/udev/rules.d/70-qv-vantorel.rules
  "usr/share/applications/$ID.desktop" "usr/share/metainfo/$ID.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$ID.svg" "usr/share/icons/hicolor/48x48/apps/$ID.png"
  "usr/share/icons/hicolor/256x256/apps/$ID.png"
  usr/share/man/man1/qv-vantorel.1 usr/share/man/man1/vantorelctl.1
  usr/share/bash-completion/completions/qv-vantorel usr/share/bash-completion/completions/vantorelctl
  usr/share/doc/qv-vantorel/copyright
)
for f in "${expected[@]}"; do
  [ -e "$ROOT/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
# Nothing for developers, nothing outside /usr.
if dpkg-deb -c "$DEB" | awk '{print $6}' | grep -Ev '^\./(usr/)?$|^\./usr/' ; then
  echo "files outside /usr"; exit 1
fi
if dpkg-deb -c "$DEB" | grep -E 'README|\.h$|\.cmake$|\.a$|res/udev'; then
  echo "developer files in the package"; exit 1
fi

desktop-file-validate "$ROOT/usr/share/applications/$ID.desktop"
appstreamcli validate --no-net --pedantic "$ROOT/usr/share/metainfo/$ID.metainfo.xml"

# The installed program finds its skins from the scratch root.
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/data XDG_CONFIG_HOME=$WORK/home/config
mkdir -p "$HOME"
QT_QPA_PLATFORM=offscreen "$ROOT/usr/bin/qv-vantorel" --screenshot "$WORK/shot.png"
[ -s "$WORK/shot.png" ] || { echo "no screenshot from the installed program"; exit 1; }
"$ROOT/usr/bin/qv-vantorel" --version
"$ROOT/usr/bin/vantorelctl" --help >/dev/null
# The plugins are found beside the installed program's libdir, wherever the
# root is.
{ "$ROOT/usr/bin/vantorelctl" --verbose devices 2>&1 >/dev/null || true; } | grep -F "plugin: loaded $ROOT/usr/lib/$MULTIARCH/qv-vantorel/libhiddriver_2.so" \
  || { echo "the installed vantorelctl did not load its wired driver plugin"; exit 1; }

"${DPKG[@]}" --purge qv-vantorel >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log"; exit 1; }
left=$(cd "$ROOT" && find . -mindepth 1 -not -path './var/lib/dpkg*' -not -type d)
[ -z "$left" ] || { echo "left behind after removal:"; echo "$left"; exit 1; }
left_dirs=$(cd "$ROOT" && find . -mindepth 1 -type d -not -path './var*' -not -path './usr' -not -path './usr/lib' -not -path './usr/share')
[ -z "$left_dirs" ] || { echo "folders left behind:"; echo "$left_dirs"; exit 1; }
echo "package check passed"
