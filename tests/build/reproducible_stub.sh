#!/bin/sh
# The stub of one commit is the same bytes wherever and whenever it is built:
# the sources copied to another folder and built there again must give
# exactly the stub the native tree built for sfxpack. SOURCE_DATE_EPOCH
# changes the image's time stamp to its value, and so its checksum, and
# nothing else.
# usage: reproducible_stub.sh SOURCE_DIR WORK_DIR REFERENCE_STUB [EPOCH]
#   EPOCH is the SOURCE_DATE_EPOCH the reference was built with, if any.
set -eu
source=$1 work=$2 reference=$3 epoch=${4:-}
dated_epoch=1700000000

fail() {
    echo "reproducible stub: $*" >&2
    exit 1
}

# A 32-bit little-endian field of a file, as a decimal number.
field() {
    od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '
}

# Builds the stub alone from the copied sources in WORK_DIR/FOLDER.
build() {
    log=$work/$1.log
    if ! { cmake -S "$work/source" -B "$work/$1" -DCMAKE_TOOLCHAIN_FILE="$work/source/cmake/mingw-i686.cmake" \
               -DCMAKE_BUILD_TYPE=Release -DSFX_STUB_ONLY=ON -DSFX_SOURCE_DATE_EPOCH="$2" -Wno-dev \
           && cmake --build "$work/$1" --target update_sfx; } >"$log" 2>&1; then
        cat "$log" >&2
        fail "the stub did not build in $work/$1"
    fi
}

rm -rf "$work"
mkdir -p "$work/source"
# The stub-only tree reads nothing else.
cp -R "$source/CMakeLists.txt" "$source/cmake" "$source/update_sfx" "$work/source/"

build again "$epoch"
again=$work/again/update_sfx/update_sfx.exe
cmp "$reference" "$again" >/dev/null || fail "a second build in another folder differs from $reference"

pe=$(field "$reference" 60)
stamp=$((pe + 8))
checksum=$((pe + 88))
if [ -z "$epoch" ]; then
    [ "$(field "$reference" $stamp)" = 0 ] || fail "the stub carries a link time"
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
