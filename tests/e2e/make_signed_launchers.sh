#!/bin/sh
# Signed launchers for the end-to-end tests, made as a publisher makes them:
# packed by the Windows sfxpack under Wine onto the stub it carries, then
# signed with osslsigncode.
#   paddingN.exe    recorded length; the launcher's length leaves the signer N
#                   zero bytes of padding to add, for N from 0 to 7
#   nested.exe      padding3.exe with a second signature nested in the first
#   unrecorded.exe  stub and package concatenated without a recorded length
#   branded.exe     packed with an icon and Ukrainian and Japanese version strings;
#                   branded32_unsigned.exe the same packed onto SHIPPED_STUB
#   ledger_unsigned.exe  packed with the second application's profile of
#                   docs/examples/ledger.ini, not signed
#   long_option_unsigned.exe  packed with an updater option of 250 characters,
#                   not signed
# Each NAME.upd beside it is the package it carries, NAME_unsigned.exe the
# launcher before signing.
# usage: make_signed_launchers.sh WINE_RUN SFXPACK_EXE STUB SIGN_HELPER CERT_DIR OUT_DIR SHIPPED_STUB
set -eu
wine_run=$1 tool=$2 stub=$3 sign=$4 certificates=$5 out=$6 shipped=$7
. "$(dirname "$0")/package.sh"

rm -rf "$out"
mkdir -p "$out"
cd "$out"
cp "$tool" sfxpack.exe
cp "$stub" stub.exe

fail() {
    echo "signed launchers: $*" >&2
    for f in *.log; do [ -s "$f" ] && { echo "--- $f"; cat "$f"; }; done >&2
    exit 1
}

# Output goes to files, never a pipe: a wineserver started here would hold a pipe open.
# pack NAME [OPTION...] [STUB]
pack() {
    name=$1
    shift
    "$wine_run" sfxpack.exe pack "$@" "$name.upd" "${name}_unsigned.exe" >"pack_$name.log" 2>&1 \
        || fail "sfxpack could not pack $name"
}

# sign NAME FROM [OPTION...]: signs FROM into NAME.exe.
sign() {
    name=$1 from=$2
    shift 2
    sh "$sign" "$certificates" "$from" "$name.exe" "$@" >"sign_$name.log" 2>&1 || fail "could not sign $name.exe"
}

# Lengths follow from the stub's size, so the paddings are 0 to 7 bytes whatever that size.
stub_size=$(wc -c <stub.exe)
aligned_length=$((4096 + (8 - (stub_size + 4096) % 8) % 8))
for padding in 0 1 2 3 4 5 6 7; do
    name=padding$padding
    write_package $name.upd $((aligned_length + (8 - padding) % 8))
    pack $name
    sign $name ${name}_unsigned.exe
done

cp padding3.upd nested.upd
cp padding3_unsigned.exe nested_unsigned.exe
sign nested padding3.exe -nest -h sha512

cp padding7.upd unrecorded.upd
cat stub.exe unrecorded.upd >unrecorded_unsigned.exe
sign unrecorded unrecorded_unsigned.exe

# Every size Explorer asks for; ImageMagick stores the 256-pixel image as PNG.
convert -size 256x256 xc:navy -define icon:auto-resize=256,48,32,16 branded.ico
# pack_branded NAME [STUB]
pack_branded() {
    cp padding5.upd "$1.upd"
    pack "$@" --icon branded.ico --version-string "FileDescription=Оновлення Волтаніс 10.01.190" \
        --version-string "ProductName=Волтаніс ヴォルタニス" --version-string "CompanyName=Корвелла" \
        --version-string "LegalCopyright=© Корвелла" --version-string FileVersion=10.01.190
}
pack_branded branded
sign branded branded_unsigned.exe
cp "$(dirname "$0")/../../docs/examples/ledger.ini" ledger.ini
write_package ledger.upd 4096
pack ledger --profile ledger.ini
printf '[application]\nupdater_option = /%s\n' "$(printf '%249s' '' | tr ' ' x)" >long_option.ini
write_package long_option.upd 4096
pack long_option --profile long_option.ini
if [ -n "$shipped" ]; then
    cp "$shipped" shipped.exe
    pack_branded branded32 shipped.exe
fi
exit 0
