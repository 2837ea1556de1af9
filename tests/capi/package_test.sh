#!/usr/bin/env bash
# Installs the build into a scratch prefix and uses it the three ways a host project would:
# find_package, pkg-config, and FetchContent of the source tree. With a collector, runs the
# example hosts against it.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR C_COMPILER CXX_COMPILER
#                        LAUNCHER SHARED(ON|OFF) [COLLECTOR]
set -euo pipefail
build=$1 source=$2 work=$3 generator=$4 cc=$5 cxx=$6 launcher=$7 shared=$8 collector=${9:-}

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
common=(-G "$generator" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx")
[ -n "$launcher" ] && common+=(-DCMAKE_C_COMPILER_LAUNCHER="$launcher"
                              -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher")

echo "== install"
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name VeltoSDK.pc -path '*/pkgconfig/*')")/..
libdir=$(cd "$libdir" && pwd)

echo "== find_package"
cmake -S "$source/examples" -B "$work/examples" "${common[@]}" \
      -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_FLAGS="-Werror" -DCMAKE_CXX_FLAGS="-Werror" \
      >/dev/null
cmake --build "$work/examples" >/dev/null

echo "== pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
pkg-config --exists --print-errors "VeltoSDK >= 1"
[ "$(pkg-config --print-requires-private VeltoSDK | tr '\n' ' ')" = "libcurl icu-uc icu-i18n " ]
libs=$(pkg-config --libs VeltoSDK)
if [ "$shared" != ON ]; then
    # What --static adds, except that curl and ICU come in as shared libraries: Debian's
    # libcurl.pc lists static dependencies whose development packages are not installed.
    own_private=$(sed -n 's/^Libs.private: //p' "$PKG_CONFIG_PATH/VeltoSDK.pc")
    libs="$libs $own_private $(pkg-config --libs $(pkg-config --print-requires-private VeltoSDK))"
fi
# shellcheck disable=SC2046,SC2086
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags VeltoSDK) \
      "$source/examples/c-host/main.c" $libs -o "$work/c-host-pkgconfig"

echo "== FetchContent"
cmake -S "$source/tests/capi/consumer" -B "$work/consumer" "${common[@]}" \
      -DVELTOSDK_SOURCE_DIR="$source" -DBUILD_SHARED_LIBS="$shared" >/dev/null
cmake --build "$work/consumer" >/dev/null

[ -z "$collector" ] && exit 0

echo "== against the collector"
export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
# As the README starts it for the examples.
. "$source/tests/capi/collector.sh"
start_collector "$work/collector.log" "$collector" --pixel YOUR-PIXEL-ID --event TutorialDone || exit 1
for host in "$work/examples/c-host" "$work/examples/cpp-host" "$work/c-host-pkgconfig" \
            "$work/consumer/c-host" "$work/consumer/cpp-host"; do
    echo "-- $(basename "$host") $url"
    timeout 30 "$host" "$url"
done
