#!/bin/sh
# Signs a file as a publisher signs a launcher, with a self-signed certificate
# made on first use in CERT_DIR and kept there for later signatures. Options
# go to osslsigncode: -nest adds a second signature to a signed INPUT.
# usage: sign_launcher.sh CERT_DIR INPUT OUTPUT [OPTION...]
set -eu
dir=$1 input=$2 output=$3
shift 3

mkdir -p "$dir"
if [ ! -s "$dir/key.pem" ] || [ ! -s "$dir/certificate.pem" ]; then
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj /CN=sfxpack-test \
        -keyout "$dir/key.pem" -out "$dir/certificate.pem"
fi
# The signing tool will not write over an existing file.
rm -f "$output"
osslsigncode sign -certs "$dir/certificate.pem" -key "$dir/key.pem" "$@" -in "$input" -out "$output"
