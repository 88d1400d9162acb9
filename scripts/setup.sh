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
  # A mirror in mid-sync fails one index of many for a while: try again,
  # then install from what was fetched; only a failed install is fatal.
  for try in 1 2 3; do
    apt-get update -qq >/dev/null && break
    echo "setup: apt-get update failed (try $try of 3)" >&2
    [ "$try" = 3 ] || sleep 30
  done
  install() { apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
  if [ ${#need[@]} -gt 0 ] && ! install "${need[@]}"; then
    # Without the security suite's i386 index the amd64 half of a
    # multi-arch package may be newer than any i386 half on offer: take the
    # release's own versions, the kernel headers at the i386 version.
    echo "setup: retrying with the release's own package versions" >&2
    hdr=$(apt-cache policy linux-libc-dev:i386 | awk '/Candidate:/ {print $2}')
    rest=()
    for p in "${need[@]}"; do [ "$p" = linux-libc-dev:i386 ] || rest+=("$p"); done
    install -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" --allow-downgrades \
      "${rest[@]}" "linux-libc-dev=$hdr" "linux-libc-dev:i386=$hdr"
  fi
fi
exit 0
