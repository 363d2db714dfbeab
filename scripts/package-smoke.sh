#!/usr/bin/env bash
# Installs the Debian package into a throwaway Debian chroot, starts each program (--version,
# --help), checks the data folder the installation made, then purges the package again.
#   scripts/package-smoke.sh [DEB]      (default: the package in build/; needs root and network)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEB="${1:-$(ls "$ROOT"/build/velmor740st_*.deb | head -1)}"
SUITE="$(. /etc/os-release && echo "$VERSION_CODENAME")"
CHROOT="$(mktemp -d /tmp/velmor-chroot.XXXXXX)"
chmod 755 "$CHROOT" # the chroot's / must be searchable for its users
cleanup() {
  for m in proc dev/pts dev; do umount "$CHROOT/$m" 2>/dev/null || true; done
  rm -rf "$CHROOT"
}
trap cleanup EXIT
command -v debootstrap >/dev/null || apt-get install -y -q debootstrap

echo "== debootstrap $SUITE into $CHROOT"
debootstrap --variant=minbase "$SUITE" "$CHROOT" http://deb.debian.org/debian >/dev/null
mount -t proc proc "$CHROOT/proc"
mount --bind /dev "$CHROOT/dev"
mount --bind /dev/pts "$CHROOT/dev/pts"
cp "$DEB" "$CHROOT/tmp/"
in_chroot() { chroot "$CHROOT" env DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"; }

echo "== install $(basename "$DEB")"
in_chroot apt-get install -y -q "/tmp/$(basename "$DEB")" | tail -3
for prog in V740Control v740ctl v740sim Permidor; do
  echo "== $prog --version"
  in_chroot "$prog" --version
done
in_chroot v740ctl --help | head -3
DATA="/var/lib/VELMOR 740ST - Roziraz Uvurad"
echo "== data folder"
in_chroot stat -c '%A %U:%G %n' "$DATA" "$DATA/user2.db"
in_chroot getent group velmor740st
echo "== a user joins the group and writes"
in_chroot adduser --quiet --disabled-password --gecos '' tech
in_chroot adduser --quiet tech velmor740st
in_chroot su tech -c "v740ctl config Ansicht Sprache English && v740ctl config Ansicht Sprache && v740ctl init 2>&1 | tail -1"
echo "== purge"
in_chroot apt-get purge -y -q velmor740st | tail -3
in_chroot test -f "$DATA/user2.db" && echo "data kept: $DATA/user2.db"
in_chroot sh -c 'command -v V740Control' && { echo "V740Control still installed" >&2; exit 1; }
echo "== done"
