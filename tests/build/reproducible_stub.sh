#!/bin/sh
# The stub of one commit is the same bytes wherever and whenever it is built:
# the sources copied to another folder and built there again must give
# exactly the stub the native tree built for sfxpack. SOURCE_DATE_EPOCH
# changes the image's time stamp to its value, and so its checksum, and
# nothing else. Built there as a publisher builds the Windows tree, they give
# REFERENCE_TOOL too, the sfxpack.exe of a Windows tree, if one is named.
# SFXPACK, the native tool, packs without branding exactly as before: the
# stub's bytes but for the package records and the checksum, then the package.
# usage: reproducible_stub.sh SOURCE_DIR WORK_DIR REFERENCE_STUB [EPOCH [REFERENCE_TOOL [SFXPACK]]]
#   EPOCH is the SOURCE_DATE_EPOCH the reference was built with, if any.
set -eu
source=$1 work=$2 reference=$3 epoch=${4:-} reference_tool=${5:-} tool=${6:-}
dated_epoch=1700000000

fail() {
    echo "reproducible stub: $*" >&2
    exit 1
}

# A 32-bit little-endian field of a file, as a decimal number.
field() {
    od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '
}

# Runs a build step from the copied sources, its output kept for the failure report.
step() {
    log=$work/$1.log
    shift
    (cd "$work/source" && "$@") >>"$log" 2>&1 || { cat "$log" >&2; fail "$* failed"; }
}

# Builds the stub alone from the copied sources in WORK_DIR/FOLDER.
build() {
    step "$1" cmake -S . -B "$work/$1" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
        -DSFX_STUB_ONLY=ON -DSFX_SOURCE_DATE_EPOCH="$2" -Wno-dev
    step "$1" cmake --build "$work/$1" --target update_sfx
}

rm -rf "$work"
mkdir -p "$work/source"
# The Windows tree without its tests reads nothing else.
cp -R "$source/CMakeLists.txt" "$source/cmake" "$source/update_sfx" "$source/tools" "$work/source/"

# The publisher's commands: no build type, no tests, then the install.
step again cmake -S . -B "$work/again" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DBUILD_TESTING=OFF \
    -DSFX_SOURCE_DATE_EPOCH="$epoch" -Wno-dev
step again cmake --build "$work/again" -j "$(nproc)"
step again cmake --install "$work/again" --prefix "$work/prefix"
again=$work/again/update_sfx/update_sfx.exe
cmp "$reference" "$again" >/dev/null || fail "a second build in another folder differs from $reference"
programs=$(cd "$work/again" && find . -name '*.exe' -not -path '*/CMakeFiles/*' | sort | tr '\n' ' ')
[ "$programs" = "./tools/sfxpack/sfxpack.exe ./update_sfx/update_sfx.exe " ] \
    || fail "a build without tests made $programs"
[ -z "$reference_tool" ] || cmp -s "$reference_tool" "$work/prefix/bin/sfxpack.exe" \
    || fail "the installed sfxpack.exe differs from $reference_tool"

pe=$(field "$reference" 60)
stamp=$((pe + 8))
checksum=$((pe + 88))
if [ -z "$epoch" ]; then
    [ "$(field "$reference" $stamp)" = 0 ] || fail "the stub carries a link time"
fi

if [ -n "$tool" ]; then
    . "$source/tests/e2e/package.sh"
    write_package "$work/p.upd" 4096
    "$tool" pack "$work/p.upd" "$work/packed.exe" >"$work/pack.log" 2>&1 || fail "sfxpack could not pack"
    [ "$(wc -c <"$work/packed.exe")" = $(($(wc -c <"$reference") + 4096)) ] || fail "packing changed the stub's size"
    tail -c 4096 "$work/packed.exe" | cmp -s - "$work/p.upd" || fail "the package does not end the launcher"
    # The package length and checksum records lie at bytes 40 to 55.
    cmp -l "$reference" "$work/packed.exe" 2>/dev/null | while read -r at _ _; do
        at=$((at - 1))
        [ $at -ge 40 ] && [ $at -lt 56 ] || { [ $at -ge $checksum ] && [ $at -lt $((checksum + 4)) ]; } \
            || fail "packing without branding changed byte $at of the stub"
    done
fi

build dated $dated_epoch
dated=$work/dated/update_sfx/update_sfx.exe
[ "$(field "$dated" $stamp)" = $dated_epoch ] || fail "the time stamp is not SOURCE_DATE_EPOCH $dated_epoch"
[ "$(wc -c <"$dated")" = "$(wc -c <"$again")" ] || fail "SOURCE_DATE_EPOCH changed the stub's size"
# cmp -l numbers bytes from 1.
cmp -l "$again" "$dated" | while read -r at _ _; do
    at=$((at - 1))
    if [ $at -lt $stamp ] || [ $at -ge $((stamp + 4)) ]; then
        [ $at -ge $checksum ] && [ $at -lt $((checksum + 4)) ] \
            || fail "SOURCE_DATE_EPOCH changed byte $at, outside the time stamp and the checksum"
    fi
done
exit 0
