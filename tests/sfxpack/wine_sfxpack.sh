#!/bin/sh
# The Windows build of sfxpack under Wine: pack, inspect, extract, a refusal and a
# configuration round trip, on the test stub and the real stub; the stub it
# carries is the real stub. SHARE is the failing share (failing_share.sh).
# usage: wine_sfxpack.sh WINE_RUN SFXPACK_EXE TEST_STUB WORK_DIR REAL_STUB SHARE
set -eu
wine_run=$1 tool=$2 test_stub=$3 work=$4 real_stub=$5 share=$6

rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$tool" sfxpack.exe

fail() {
    echo "wine.sfxpack: $*" >&2
    for f in *.out *.err; do [ -s "$f" ] && { echo "--- $f"; cat "$f"; }; done >&2
    exit 1
}

# Output goes to files, never a pipe: a wineserver started here would hold a pipe open.
run() {
    name=$1
    shift
    status=0
    "$wine_run" sfxpack.exe "$@" >"$name.crlf" 2>"$name.err" || status=$?
    echo "$status" >"$name.status"
    # Windows text output ends its lines in CR LF.
    tr -d '\r' <"$name.crlf" >"$name.out"
}

expect_status() {
    [ "$(cat "$1.status")" = "$2" ] || fail "$1 exited $(cat "$1.status"), expected $2"
}

expect_line() {
    grep -qxF "$2" "$1.out" || fail "$1 did not print: $2"
}

# Publishers get a stripped tool: no COFF symbol table in its file header.
pe=$(od -An -tu4 -j60 -N4 sfxpack.exe | tr -d ' ')
[ "$(od -An -tu4 -j $((pe + 12)) -N8 sfxpack.exe | tr -s ' ')" = " 0 0" ] || fail "sfxpack.exe carries symbols"

# The example header: 10.01.188 to 10.01.190, format type 2, then a body.
# The versions go in through %s: an octal escape would swallow their leading digits.
printf 'PATCH\011\0\0\0PATCHHEAD\012\0\0\0SRCVERSION\011\0\0\0%s\0\012\0\0\0DSTVERSION\011\0\0\0%s\0\012\0\0\0FORMATTYPE\004\0\0\0\002\0\0\0PATCHBODY' 10.01.188 10.01.190 >package.upd
package_size=$(wc -c <package.upd)

pack_and_inspect() {
    stub=$1
    cp "$stub" stub.exe
    run pack pack stub.exe package.upd launcher.exe
    expect_status pack 0
    expect_line pack "source version: 10.01.188"
    expect_line pack "format type: 2 (any installed version from the source up to, not including, the target)"
    cmp -s stub.exe "$stub" || fail "pack changed its stub"
    run inspect inspect launcher.exe
    expect_status inspect 0
    expect_line inspect "payload offset: $(wc -c <stub.exe)"
    expect_line inspect "payload size: $package_size"
    expect_line inspect "recorded package length: $package_size"
    expect_line inspect "package intact"
    expect_line inspect "target version: 10.01.190"
    tail -c "$package_size" launcher.exe | cmp -s - package.upd || fail "the launcher does not end with the package"
    run extract extract launcher.exe extracted.upd
    expect_status extract 0
    cmp -s extracted.upd package.upd || fail "extract did not give back the package"
}

pack_and_inspect "$test_stub"

run refused inspect package.upd
expect_status refused 1
grep -q "is not a PE image" refused.err || fail "inspect gave no reason for a file that is not a PE image"

printf '\357\273\277<items><VERSION>10.01.188</VERSION></items>' >global.xml
run encode config encode --key 12AB34CD global.xml scrambled.xml
expect_status encode 0
run decode config decode scrambled.xml plain.xml
expect_status decode 0
cmp -s global.xml plain.xml || fail "the configuration round trip is not byte-exact"

pack_and_inspect "$real_stub"

# The signature's digest, taken through the Windows file calls, and a byte of
# the DOS stub changed after signing.
sh "$(dirname "$0")/sign_launcher.sh" certificate launcher.exe signed.exe >sign.out 2>&1 || fail "could not sign"
run signed inspect signed.exe
expect_status signed 0
expect_line signed "signature 1: SHA-256 digest matches the file; signer: sfxpack-test"
# CryptoAPI's signature check and CNG's digests, against openssl's fingerprint.
fingerprint=$(openssl x509 -noout -fingerprint -sha256 -in certificate/certificate.pem | sed 's/.*=//; s/://g' | tr A-F a-f)
expect_line signed "signature 1: signed content matches its messageDigest; signature over the signed attributes holds; certificate SHA-256 $fingerprint"
run pinned inspect --signer certificate/certificate.pem signed.exe
expect_status pinned 0
expect_line pinned "signer: pinned to the certificate SHA-256 $fingerprint; the certificate chain and the timestamps are osslsigncode verify's or signtool verify /pa's to check"
openssl x509 -outform DER -in certificate/certificate.pem -out certificate.der
run pinned_der inspect --signer certificate.der signed.exe
expect_status pinned_der 0
run pinned_other inspect --signer "$(printf '%064d' 0)" signed.exe
expect_status pinned_other 1
grep -q "is not signed by the certificate --signer names" pinned_other.err || fail "inspect passed another signer"
sh "$(dirname "$0")/sign_launcher.sh" certificate signed.exe nested.exe -nest -h sha512 >sign.out 2>&1 || fail "could not nest"
run nested inspect nested.exe
expect_status nested 0
expect_line nested "signature 2 (nested in 1): SHA-512 digest matches the file; signer: sfxpack-test"
osslsigncode add -addUnauthenticatedBlob -in signed.exe -out blob.exe >sign.out 2>&1 || fail "could not add a blob"
run blob inspect blob.exe
expect_status blob 0
grep -q "^not covered by any signature: 1028 bytes at [0-9]*, unauthenticated attribute 1.3.6.1.4.1.42921.1.2.1 of signature 1$" blob.out \
    || fail "inspect did not report the unauthenticated blob"
# flip IN OUT HEX AT: IN with the byte AT bytes after the first HEX in it changed, as OUT.
flip() {
    python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); i = d.index(bytes.fromhex(sys.argv[3])) + int(sys.argv[4])
open(sys.argv[2], "wb").write(d[:i] + bytes([d[i] ^ 1]) + d[i + 1:])' "$@"
}
# The file's digest in the signed content, and the signing time (a signed attribute) a second off.
digest=$(osslsigncode verify -in signed.exe 2>/dev/null | sed -n 's/^Current message digest *: \([0-9A-F]*\).*/\1/p' | head -1)
flip signed.exe digest.exe "$digest" 5
run digest inspect digest.exe
expect_status digest 1
grep -q "does not match its signed attributes' messageDigest" digest.err || fail "inspect passed an edited digest"
flip signed.exe attribute.exe 2a864886f70d010905310f170d 24
run attribute inspect attribute.exe
expect_status attribute 1
grep -q "signature over its signed attributes does not hold" attribute.err || fail "inspect passed an edited signed attribute"
printf X | dd of=signed.exe bs=1 seek=80 conv=notrunc 2>/dev/null
run changed inspect signed.exe
expect_status changed 1
grep -q "was changed after it was signed" changed.err || fail "inspect did not tell the change after signing"

# Ctrl-C during the copy of a large package (sparse: nothing on the disk)
# removes the temporary. Wine hands SIGINT to the console's handlers.
cp package.upd big.upd
truncate -s 3G big.upd
sh "$(dirname "$0")/interrupted_pack.sh" . INT any "$wine_run" sfxpack.exe || fail "Ctrl-C did not end the copy cleanly"
rm big.upd

# A header the medium fails to give is not called damaged: the system says why.
run unreadable pack "Z:$share/header.upd" unreadable.exe
expect_status unreadable 1
# The reason is in the session's code page, which grep's UTF-8 locale would not match.
LC_ALL=C grep -q "^sfxpack: cannot read PACKAGE Z:$share/header.upd: [^ ]" unreadable.err \
    || fail "a failing read of a package header gave no reason of the system's"

run version --version
expect_status version 0
expect_line version "embedded stub: $(wc -c <"$real_stub") bytes, SHA-256 $(sha256sum "$real_stub" | cut -c1-64)"
run embedded pack package.upd embedded.exe
expect_status embedded 0
cmp -s embedded.exe launcher.exe || fail "packing onto the embedded stub differs from packing onto the real stub"
ls ./*.tmp >/dev/null 2>&1 && fail "a temporary file was left"
exit 0
