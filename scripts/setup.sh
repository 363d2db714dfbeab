#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need (idempotent,
# non-interactive), then configures build/ with Ninja and builds everything.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-translations-l10n libsqlite3-dev sqlite3 libpugixml-dev
  googletest libgtest-dev libbenchmark-dev
  fonts-liberation2 fonts-dejavu-core xvfb xauth poppler-utils
  dpkg-dev help2man lintian clang-format
  libpq-dev postgresql-15 openssl libsecret-tools gnome-keyring dbus-daemon
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then SUDO="sudo"; else
      echo "Missing packages and no root rights: ${missing[*]}" >&2; exit 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! $SUDO apt-get install -y -q "${missing[@]}"; then
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q "${missing[@]}"
  fi
fi

# CI configures its own build folders.
if [[ -n "${V740_SETUP_NO_BUILD:-}" ]]; then
  exit 0
fi

BUILD="${V740_BUILD_DIR:-$ROOT/build}"
if [[ ! -f "$BUILD/build.ninja" ]]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD" -j "$(nproc)"
