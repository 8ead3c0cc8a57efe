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
# it); --windows the MinGW-w64 cross compilers for x64 and 32-bit x86 (posix thread model),
# their tools (windres, objdump, dlltool) and Wine, which runs the cross-built tests (`make
# test-windows`); --wine32 also 32-bit Wine for the x86 tests, which needs Debian's i386
# architecture (added here; taken away again when wine32 cannot be installed).
set -euo pipefail

wine32=0
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
    --windows) packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 g++-mingw-w64-i686-posix
                          binutils-mingw-w64-i686 mingw-w64-tools wine64) ;;
    --wine32) wine32=1 ;;
    *) echo "usage: $0 [--bench] [--fuzz] [--soak] [--avi] [--docs] [--windows] [--wine32]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# wine32 must be of the same version as wine64, and its i386 libraries of the same versions as
# the amd64 ones already installed; a mirror whose i386 lists lag behind cannot give that.
if [ $wine32 -eq 1 ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  added=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    added=1
  fi
  if ! { $sudo apt-get update -q &&
         DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends wine32:i386; }; then
    # dpkg keeps the architecture while any of its packages is left.
    if [ $added -eq 1 ] && $sudo dpkg --remove-architecture i386 2>/dev/null; then
      $sudo apt-get update -q || true
    fi
    echo "wine32 could not be installed" >&2
    exit 1
  fi
fi
