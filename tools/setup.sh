#!/usr/bin/env bash
# Sets up a Debian 12 machine for the show and then plays it or tests it:
#   bash tools/setup.sh play   install what is missing, build, generate data, play
#   bash tools/setup.sh test   the same set-up, then the whole test suite
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mode=${1:-play}
case "$mode" in
play | test) ;;
*)
    echo "usage: bash tools/setup.sh play|test" >&2
    exit 2
    ;;
esac

install_missing_packages() {
    local wanted missing=()
    wanted=$(grep -v -E '^\s*(#|$)' "$root/packages.txt")
    for package in $wanted; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

install_missing_packages
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build"

cd "$root/build"
if [ "$mode" = play ]; then
    exec ./vantrel
fi
exec ctest --output-on-failure -j 2
