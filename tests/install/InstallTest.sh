#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and builds an example against the installed
# files alone, once through pkg-config and once through find_package(VelcorSdk), then runs both
# builds on a simulated camera with the installed library.
#
#   InstallTest.sh BUILD_DIR LIBDIR EXAMPLE.c CC CMAKE NINJA
#
# LIBDIR is the library folder under the prefix (CMAKE_INSTALL_LIBDIR).
set -euo pipefail

build=$1 libdir=$2 example=$3 cc=$4 cmake=$5 ninja=$6
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
export XDG_CONFIG_HOME=$tmp/config

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" || {
  cat "$tmp/install.log"
  fail "cmake --install"
}

# The library with its SONAME links, the headers, the tool and both descriptions.
for f in "$libdir/libVelcorSdk_TX40.so" "$libdir/libVelcorSdk_TX40.so.2" \
  include/velcor/VelcorSdk.h include/velcor/VelcorErrors.h include/velcor/VelcorTypes.h \
  include/velcor/VelcorWin.h include/velcor/VelcorSim.h bin/velcor \
  "$libdir/pkgconfig/velcor.pc" "$libdir/cmake/VelcorSdk/VelcorSdkConfig.cmake" \
  "$libdir/cmake/VelcorSdk/VelcorSdkConfigVersion.cmake"; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done
[ "$(readlink "$prefix/$libdir/libVelcorSdk_TX40.so")" = libVelcorSdk_TX40.so.2 ] ||
  fail "libVelcorSdk_TX40.so does not point at the SONAME"
# Nothing of the build's insides: no static layers, tests, benches, fuzzers or examples.
internal=$(find "$prefix" \( -name '*.a' -o -name '*test*' -o -name '*bench*' -o -name '*fuzz*' \
  -o -name 'velcor_*' -o -name snapshot \) -print)
[ -z "$internal" ] || fail "installed but internal: $internal"

export LD_LIBRARY_PATH=$prefix/$libdir
# Runs a program built against the prefix: it must load the installed library and take a frame.
run() {
  local program=$1
  ldd "$program" >"$tmp/ldd.log"
  grep -qF "libVelcorSdk_TX40.so.2 => $prefix/" "$tmp/ldd.log" ||
    fail "$program does not load the installed library: $(grep Velcor "$tmp/ldd.log")"
  "$program" --simulate >"$tmp/run.log" 2>&1 || {
    cat "$tmp/run.log"
    fail "$program --simulate"
  }
  grep -q "centre pixel" "$tmp/run.log" || fail "$program printed: $(cat "$tmp/run.log")"
}

# pkg-config, as a Makefile would use it.
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
cflags=$(pkg-config --cflags velcor)
libs=$(pkg-config --libs velcor)
# shellcheck disable=SC2086 # the flags are words
"$cc" -std=c11 -Wall -Wextra -Werror $cflags "$example" $libs -o "$tmp/with-pkg-config"
run "$tmp/with-pkg-config"

# find_package in a project of its own.
mkdir "$tmp/project"
cp "$example" "$tmp/project/example.c"
cat >"$tmp/project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(UsesVelcor C)
find_package(VelcorSdk 2 REQUIRED)
add_executable(example example.c)
target_link_libraries(example PRIVATE Velcor::Sdk)
CMAKE
"$cmake" -G Ninja -DCMAKE_MAKE_PROGRAM="$ninja" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_PREFIX_PATH="$prefix" -S "$tmp/project" -B "$tmp/project/build" >"$tmp/cmake.log" 2>&1 || {
  cat "$tmp/cmake.log"
  fail "configuring a project with find_package(VelcorSdk)"
}
"$cmake" --build "$tmp/project/build" >"$tmp/build.log" 2>&1 || {
  cat "$tmp/build.log"
  fail "building against Velcor::Sdk"
}
run "$tmp/project/build/example"

# The installed tool finds the installed library.
"$prefix/bin/velcor" --simulate 1 list >"$tmp/list.log" || fail "installed velcor list"
grep -q VelcorTX40_01 "$tmp/list.log" || fail "installed velcor lists: $(cat "$tmp/list.log")"
echo "installed into $prefix: pkg-config and find_package builds run"
