#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing. The
# image file writer links the JPEG, PNG and TIFF libraries; the preview window is an X11 window;
# the dialogs' view module is GTK 3. The tests that open windows run a private X server (Xvfb)
# and draw Japanese texts (IPA Gothic). Real cameras are reached through libusb; its tests emulate
# the USB bus with umockdev. The Python package's tests need numpy and pytest, and
# pip (with setuptools and wheel) to install the package into a virtual environment. The
# install test builds against the installed library with pkg-config; `make package` reads the
# dependencies with dpkg-shlibdeps (dpkg-dev), which looks at the files with file.
# --bench adds what the benchmarks compare against (OpenCV); --fuzz adds libFuzzer and the
# sanitizer runtimes of clang, and llvm-symbolizer for the reports; --soak what plots the soak
# (gnuplot); --avi the ffprobe that the recording tests read films with (they skip without it);
# --docs doxygen, which builds the reference documentation of the public headers and checks that
# every public declaration is documented (`make docs`, and `make test`, whose check skips without
# it); --windows the MinGW-w64 cross compiler (posix thread model), its tools (windres, objdump)
# and Wine, which runs the cross-built tests (`make test-windows`).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang dpkg-dev file
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg-dev libpng-dev libtiff-dev
  libx11-dev libgtk-3-dev xvfb xauth fonts-ipafont-gothic
  libusb-1.0-0-dev umockdev libumockdev-dev
  python3-numpy python3-pytest python3-pip
)
for arg in "$@"; do
  case "$arg" in
    --bench) packages+=(libopencv-dev) ;;
    --fuzz) packages+=(libclang-rt-14-dev llvm) ;;
    --soak) packages+=(gnuplot-nox) ;;
    --avi) packages+=(ffmpeg) ;;
    --docs) packages+=(doxygen) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools wine64) ;;
    *) echo "usage: $0 [--bench] [--fuzz] [--soak] [--avi] [--docs] [--windows]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
