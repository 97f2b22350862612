#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package from the tree with dpkg-buildpackage (in build/,
# reusing what is already built there; the tests run inside, see
# debian/rules), checks it with lintian, installs it into a scratch root,
# checks its files and metadata, starts the installed programs from there and
# purges the package again.
# Usage: scripts/package_check.sh   (DEB_BUILD_OPTIONS is passed through)
set -euo pipefail
cd "$(dirname "$0")/.."
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

VERSION=$(dpkg-parsechangelog -S Version)
ARCH=$(dpkg-architecture -qDEB_HOST_ARCH)
MULTIARCH=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# dh skips the steps its stamps say are done; build/ is kept (-nc), so only
# what changed is compiled again.
rm -rf debian/.debhelper debian/debhelper-build-stamp debian/files debian/*.debhelper.log \
  debian/*.substvars debian/qv-vantorel debian/tmp
dpkg-buildpackage -us -uc -b -nc
# dpkg-buildpackage leaves its results beside the tree; they move to the
# scratch folder.
CHANGES=qv-vantorel_${VERSION}_${ARCH}.changes
for f in $(sed -n '/^Files:/,/^[^ ]/s/^ .* //p' "../$CHANGES") "$CHANGES"; do
  mv "../$f" "$WORK/"
done
DEB=$WORK/qv-vantorel_${VERSION}_${ARCH}.deb
[ -e "$WORK/qv-vantorel-dbgsym_${VERSION}_${ARCH}.deb" ] || { echo "no debug symbol package"; exit 1; }

echo "lintian:"
lintian --pedantic --display-info --fail-on error,warning "$WORK/$CHANGES"

echo "package: $(basename "$DEB"), $(stat -c %s "$DEB") bytes, installed $(dpkg-deb -f "$DEB" Installed-Size) KiB"
# Debug information belongs in the -dbgsym package: a player downloads a few
# megabytes at most.
[ "$(dpkg-deb -f "$DEB" Installed-Size)" -lt 3072 ] || { echo "installs 3 MB or more"; exit 1; }
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
expected=(
  usr/bin/qv-vantorel usr/bin/vantorelctl
  "usr/lib/$MULTIARCH/qv-vantorel/libhiddriver_2.so" "usr/lib/$MULTIARCH/qv-vantorel/libHook.so"
  usr/share/qv-vantorel/res/main.xml usr/share/qv-vantorel/res/lan.xml usr/share/qv-vantorel/res/lan/de.xml
  lib/udev/rules.d/70-qv-vantorel.rules
  "usr/share/applications/$ID.desktop" "usr/share/metainfo/$ID.metainfo.xml"
  "usr/share/dbus-1/services/$ID.service" usr/share/dbus-1/interfaces/io.github.qvvantorel.Mouse1.xml
  "usr/share/icons/hicolor/scalable/apps/$ID.svg" "usr/share/icons/hicolor/48x48/apps/$ID.png"
  "usr/share/icons/hicolor/256x256/apps/$ID.png"
  usr/share/man/man1/qv-vantorel.1.gz usr/share/man/man1/vantorelctl.1.gz
  usr/share/bash-completion/completions/qv-vantorel usr/share/bash-completion/completions/vantorelctl
  usr/share/doc/qv-vantorel/copyright usr/share/doc/qv-vantorel/changelog.gz
)
for f in "${expected[@]}"; do
  [ -e "$ROOT/$f" ] || { echo "missing from the package: /$f"; exit 1; }
done
# The rule is the tree's, not a stale copy.
cmp res/udev/70-qv-vantorel.rules "$ROOT/lib/udev/rules.d/70-qv-vantorel.rules"
# Nothing for developers, nothing outside /usr but the udev rule.
if dpkg-deb -c "$DEB" | awk '{print $6}' | grep -Ev '^\./(usr/|lib/|lib/udev/|lib/udev/rules\.d/)?$|^\./usr/|^\./lib/udev/rules\.d/70-qv-vantorel\.rules$'; then
  echo "files outside /usr"; exit 1
fi
if dpkg-deb -c "$DEB" | grep -E 'README|\.h$|\.cmake$|\.a$|res/udev|_tests$|vantorel_bench'; then
  echo "developer files in the package"; exit 1
fi

desktop-file-validate "$ROOT/usr/share/applications/$ID.desktop"
appstreamcli validate --no-net --pedantic "$ROOT/usr/share/metainfo/$ID.metainfo.xml"
# A call on the session bus starts the installed program, hidden in the tray.
grep -qx "Exec=/usr/bin/qv-vantorel --hidden" "$ROOT/usr/share/dbus-1/services/$ID.service" \
  || { echo "the D-Bus service file does not start /usr/bin/qv-vantorel --hidden"; exit 1; }

# The installed program finds its skins from the scratch root.
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/data XDG_CONFIG_HOME=$WORK/home/config
mkdir -p "$HOME"
QT_QPA_PLATFORM=offscreen "$ROOT/usr/bin/qv-vantorel" --screenshot "$WORK/shot.png"
[ -s "$WORK/shot.png" ] || { echo "no screenshot from the installed program"; exit 1; }
# The program says the package's version: debian/changelog and CMake agree.
[ "$("$ROOT/usr/bin/qv-vantorel" --version)" = "qv-vantorel $VERSION" ] \
  || { echo "the program's version is not the package's ($VERSION)"; exit 1; }
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
