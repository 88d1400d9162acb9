#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the system.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt_stale=1
fi

for p in cmake g++ g++-multilib linux-libc-dev:i386 qemu-user googletest \
         mingw-w64 nasm libzydis-dev python3 libsdl2-dev:i386 libsdl2-ttf-dev:i386 \
         fonts-dejavu-core xvfb xauth xdotool x11-utils imagemagick ffmpeg; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ] || [ -n "${apt_stale:-}" ]; then
  echo "setup: installing ${need[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  [ ${#need[@]} -gt 0 ] && apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
exit 0
