#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, when it is missing.
# Safe to run again: it installs nothing that is already there.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake ninja-build g++ libgtest-dev
      g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
      g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64  # the 64-bit test twin
      clang libclang-rt-dev  # libFuzzer and the sanitizers, for scripts/fuzz.sh
      wine wine64 wine32:i386 locales xvfb xdotool imagemagick python3
      genisoimage faketime  # scripts/make-disc.sh: Joliet + UDF disc images, with fixed dates
      fuseiso p7zip-full  # the disc tests: mount an image without root, list its UDF
      # tools/vmrun.py: an emulated machine whose kernel runs 32-bit code, for a kernel
      # that does not (and the runner's own tests, on every machine)
      qemu-system-x86 qemu-utils linux-image-amd64 busybox-static xfsprogs)
for p in "${pkgs[@]}"; do have "$p" || need+=("$p"); done

if [ "${#need[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# Wine takes its ANSI code page from the Unix locale (LC_CTYPE), the user's Formats from
# LC_MESSAGES: Windows-1251 and Russian Formats need ru_RU.UTF-8; English Formats beside
# Russian for programs that are not Unicode (a test) en_US.UTF-8 too.
for wanted in ru_RU en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$wanted\.utf-\?8$"; then
    SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO sed -i "s/^# *\($wanted.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  fi
done
