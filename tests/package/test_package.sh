#!/usr/bin/env bash
# Builds velmor740st_<version>_<arch>.deb, checks what it carries and runs its installation
# and purge steps against a temporary root (the machine's /var/lib stays untouched).
set -euo pipefail
BUILD="$1"
VERSION="$2"
ARCH="$(dpkg --print-architecture)"
DEB="$BUILD/velmor740st_${VERSION}_${ARCH}.deb"
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$BUILD" && cpack -G DEB >"$TMP/cpack.log" 2>&1) || { cat "$TMP/cpack.log"; fail "cpack"; }
[[ -f "$DEB" ]] || fail "no $DEB"

# Control data.
field() { dpkg-deb -f "$DEB" "$1"; }
[[ "$(field Package)" == velmor740st ]] || fail "package name"
[[ "$(field Version)" == "$VERSION" ]] || fail "version"
[[ "$(field Architecture)" == "$ARCH" ]] || fail "architecture"
depends="$(field Depends)"
for dep in libqt6core6 libqt6widgets6 libqt6printsupport6 qt6-qpa-plugins libsqlite3-0 libpugixml1v5 adduser; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done

# Contents.
dpkg-deb -c "$DEB" | awk '{print $6}' >"$TMP/contents"
for path in ./usr/bin/V740Control ./usr/bin/v740ctl ./usr/bin/v740sim ./usr/bin/Permidor \
  ./usr/share/velmor740st/velmor.db ./usr/share/velmor740st/Update/ \
  ./usr/share/applications/velmor740control.desktop \
  ./usr/share/icons/hicolor/48x48/apps/velmor740control.png \
  ./usr/share/man/man1/v740ctl.1.gz ./usr/share/man/man1/v740sim.1.gz ./usr/share/man/man1/Permidor.1.gz \
  ./usr/share/doc/velmor740st/copyright ./usr/share/doc/velmor740st/changelog.gz; do
  grep -qxF "$path" "$TMP/contents" || fail "package lacks $path"
done
zcat "$BUILD/man/v740ctl.1.gz" | grep -q "import" || fail "v740ctl manual page lacks its commands"

# lintian: nothing above the informational level.
if command -v lintian >/dev/null; then
  lintian "$DEB" 2>/dev/null | grep -E '^[EW]:' && fail "lintian" || true
fi

# The installation step against a temporary root.
dpkg-deb -e "$DEB" "$TMP/control"
export VELMOR_COMMON_APPDATA="$TMP/root" VELMOR_BIN="$BUILD/bin" VELMOR_GROUP=users XDG_CONFIG_HOME="$TMP/config"
DATA="$VELMOR_COMMON_APPDATA/VELMOR 740ST - Roziraz Uvurad"
mkdir -p "$VELMOR_COMMON_APPDATA" "$XDG_CONFIG_HOME"
"$TMP/control/postinst" configure >"$TMP/postinst.log" 2>&1 || { cat "$TMP/postinst.log"; fail "postinst"; }
[[ "$(stat -c '%a %G' "$DATA")" == "2775 users" ]] || fail "data folder: $(stat -c '%a %G' "$DATA")"
[[ "$(sqlite3 "$DATA/user2.db" "select DatabaseVersion from VersionTab order by rowid desc limit 1")" == 3.2 ]] || fail "no database of 3.2"
[[ "$(stat -c '%G' "$DATA/user2.db")" == users ]] || fail "database group"
[[ $(( 0$(stat -c '%a' "$DATA/user2.db") & 020 )) -ne 0 ]] || fail "database not group-writable"

# An upgrade of the package keeps the data.
sqlite3 "$DATA/user2.db" "insert into UserSetup (DirectoryTabID) values (4711)"
"$TMP/control/postinst" configure >/dev/null 2>&1 || fail "second postinst"
[[ "$(sqlite3 "$DATA/user2.db" "select count(*) from UserSetup where DirectoryTabID = 4711")" == 1 ]] ||
  fail "the upgrade changed the data"

# An older database is upgraded by Permidor.
rm -f "$DATA/user2.db"
"$BUILD/bin/v740ctl" --data "$DATA" init --schema 2.0 >/dev/null
"$TMP/control/postinst" configure >/dev/null 2>&1 || fail "postinst over a 2.0 database"
[[ "$(sqlite3 "$DATA/user2.db" "select DatabaseVersion from VersionTab order by rowid desc limit 1")" == 3.2 ]] || fail "2.0 not upgraded"

# Purge keeps the data and says where they are.
out="$("$TMP/control/postrm" purge)"
[[ -f "$DATA/user2.db" ]] || fail "purge removed the data"
[[ "$out" == *"$DATA"* ]] || fail "purge does not say where the data stay: $out"

# A data folder that is a link is refused, not followed.
rm -rf "$VELMOR_COMMON_APPDATA"
mkdir -p "$VELMOR_COMMON_APPDATA" "$TMP/elsewhere"
ln -s "$TMP/elsewhere" "$DATA"
if "$TMP/control/postinst" configure >/dev/null 2>&1; then fail "postinst followed a linked data folder"; fi
[[ -z "$(ls -A "$TMP/elsewhere")" && "$(stat -c '%a' "$TMP/elsewhere")" != 2775 ]] || fail "the link's target was changed"
echo "package $DEB: ok"
