#!/usr/bin/env bash
# Unpacks the Debian packages of `./dev package` into a scratch root and uses them as a host
# project would: find_package (also from a project on an older C++ standard) and pkg-config,
# then runs the hosts against the packaged collector.
# Usage: deb_package_test.sh DEB_DIR SOURCE_DIR WORK_DIR
set -euo pipefail
debs=$(realpath "$1") source=$(realpath "$2") work=$(realpath -m "$3")

rm -rf "$work"
mkdir -p "$work"
root=$work/root
for deb in "$debs"/*.deb; do dpkg -x "$deb" "$root"; done
libdir=$(dirname "$(find "$root" -name VeltoSDK.pc)")/..
libdir=$(cd "$libdir" && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }
field() { dpkg-deb -f "$debs/$1"_*.deb "$2"; }

echo "== contents"
readelf -d "$libdir/libVeltoSDK.so.1" | grep -q 'Library soname: \[libVeltoSDK.so.1\]' ||
    fail "no SONAME libVeltoSDK.so.1"
for path in "$libdir/libVeltoSDK.so" "$root/usr/include/VeltoSDK/version.h" \
            "$libdir/cmake/VeltoSDK/VeltoSDKConfig.cmake" "$root/usr/bin/velto-fire" \
            "$root/usr/bin/velto-collector"; do
    [ -e "$path" ] || fail "missing ${path#"$root"}"
done
# Each file in exactly one package: the library under its SONAME alone in the run-time one.
[ "$(dpkg-deb -c "$debs"/libveltosdk1_*.deb | grep -c '\.so')" = 2 ] || fail "libveltosdk1 holds more than the library"
dpkg-deb -c "$debs"/libveltosdk-dev_*.deb | grep -q 'libVeltoSDK.so ->' || fail "no link in -dev"
# dpkg-shlibdeps found what the library and the tools link.
for dependency in libcurl4 libicu; do
    field libveltosdk1 Depends | grep -q "$dependency" || fail "libveltosdk1 does not depend on $dependency"
done
field veltosdk-tools Depends | grep -q "libveltosdk1 (= " || fail "tools not tied to the library"
field libveltosdk-dev Depends | grep -q "libveltosdk1 (= " || fail "-dev not tied to the library"

common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$root/usr"
        -DCMAKE_C_FLAGS=-Werror -DCMAKE_CXX_FLAGS=-Werror)

echo "== find_package"
cmake -S "$source/examples" -B "$work/examples" "${common[@]}" >/dev/null
cmake --build "$work/examples" >/dev/null

echo "== find_package from a C++11 project"
mkdir -p "$work/cxx11"
cat >"$work/cxx11/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(OlderStandard CXX)
set(CMAKE_CXX_STANDARD 11)
find_package(VeltoSDK 1 CONFIG REQUIRED)
add_executable(host main.cpp)
target_link_libraries(host PRIVATE VeltoSDK::VeltoSDK)
CMAKE
cat >"$work/cxx11/main.cpp" <<'CPP'
#include <VeltoSDK/VeltoSDK.hpp>
static_assert(VELTOSDK_VERSION_MAJOR == 1, "version.h comes with the headers");
int main() { return VeltoSDK::Velto::shared().debugMode() ? 1 : 0; }
CPP
cmake -S "$work/cxx11" -B "$work/cxx11/build" "${common[@]}" >/dev/null
cmake --build "$work/cxx11/build" >/dev/null

echo "== pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
pkg-config --exists --print-errors "VeltoSDK >= 1"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags VeltoSDK) \
   "$source/examples/c-host/main.c" $(pkg-config --libs VeltoSDK) -o "$work/c-host-pkgconfig"

echo "== against the packaged collector"
export LD_LIBRARY_PATH=$libdir
. "$source/tests/capi/collector.sh"
# As the README starts it for the examples.
start_collector "$work/collector.log" "$root/usr/bin/velto-collector" --pixel YOUR-PIXEL-ID \
    --event TutorialDone || fail "collector did not start"
"$root/usr/bin/velto-fire" --help >/dev/null
for host in "$work/examples/c-host" "$work/examples/cpp-host" "$work/c-host-pkgconfig"; do
    echo "-- $(basename "$host")"
    # The packaged library, not one installed elsewhere on the machine.
    ldd "$host" | grep -q "$libdir/libVeltoSDK.so.1" || fail "$host does not load the packaged library"
    timeout 30 "$host" "$url"
done
