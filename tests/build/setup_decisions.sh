#!/bin/sh
# scripts/setup's decisions, with stand-ins for apt-get, dpkg, dpkg-query, locale, locale-gen and
# sleep on PATH, for the 32-bit probe and for the locale list, so nothing on the machine changes
# and no root is needed.
# usage: setup_decisions.sh SOURCE_DIR WORK_DIR
set -eu
src=$1 work=$2
rm -rf "$work"
mkdir -p "$work/bin"
cat >"$work/bin/stand-in" <<'EOF'
#!/bin/sh
# Logs each call; apt-get fails as the row says. Nothing counts as installed.
echo "$(basename "$0") $*" >>"$WORK/calls"
case "$(basename "$0") $1" in
"apt-get update")
    echo x >>"$WORK/updates"
    [ "$(wc -l <"$WORK/updates")" -gt "$FAILED_UPDATES" ] && exit 0
    printf '%b\n' "$UPDATE_SAYS" >&2; exit 100 ;;
"apt-get install")
    case "$FAILED_INSTALL $*" in
    all*|wine32*wine32:i386*) echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
    esac ;;
"dpkg-query "*) exit 1 ;;
esac
exit 0
EOF
chmod +x "$work/bin/stand-in"
for name in apt-get dpkg dpkg-query locale locale-gen sleep; do ln -s stand-in "$work/bin/$name"; done

failures=0
mirror_sync="E: File has unexpected size (374820 != 376004). Mirror sync in progress?"
# row: NAME PROBE FAILED_UPDATES FAILED_INSTALL EXIT UPDATES EXPECT_I386 OUTPUT_WORDS [UPDATE_SAYS]
row() {
    rm -f "$work/calls" "$work/updates"
    # No locale is generated (the stand-in lists none): one is listed commented out, one not at all.
    printf '# uk_UA.UTF-8 UTF-8\n# de_DE.UTF-8 UTF-8\n' >"$work/locale.gen"
    status=0
    PATH="$work/bin:$PATH" WORK=$work FAILED_UPDATES=$3 FAILED_INSTALL=$4 SFX_32BIT_PROBE=$2 \
        UPDATE_SAYS=${9:-$mirror_sync} SFX_LOCALE_GEN=$work/locale.gen \
        bash "$src/scripts/setup" >"$work/out" 2>&1 || status=$?
    updates=$(grep -c '^apt-get update' "$work/calls" || true)
    i386=$(grep -c 'i386' "$work/calls" || true)
    problem=
    [ "$status" = "$5" ] || problem="exit $status, not $5"
    [ "$updates" = "$6" ] || problem="$problem; $updates updates, not $6"
    case $7 in
    yes) [ "$i386" -gt 0 ] || problem="$problem; no i386 asked for" ;;
    no) [ "$i386" = 0 ] || problem="$problem; i386 asked for" ;;
    esac
    grep -qF "$8" "$work/out" || problem="$problem; the output lacks \"$8\""
    if [ "$5" = 0 ]; then
        printf 'uk_UA.UTF-8 UTF-8\n# de_DE.UTF-8 UTF-8\nen_US.UTF-8 UTF-8\n' | cmp -s - "$work/locale.gen" \
            || problem="$problem; the locale list reads: $(cat "$work/locale.gen")"
        grep -q '^locale-gen' "$work/calls" || problem="$problem; no locale generated"
    fi
    if [ -n "$problem" ]; then
        echo "FAILED $1: $problem"; sed 's/^/    /' "$work/out" "$work/calls"
        failures=$((failures + 1))
    fi
}
row "no 32-bit: no i386 anywhere"       false 0 none   0 1 no  "cannot start 32-bit programs"
row "update fails twice, then works"    true  2 none   0 3 yes "starts 32-bit programs"
row "update always fails, install works" true 9 none   0 3 yes "installing from the package lists apt has"
row "network down: apt says only Err:"  false 9 none   0 3 no  "Temporary failure resolving" \
    "Err:1 http://deb.debian.org/debian bookworm InRelease\n  Temporary failure resolving 'deb.debian.org'"
row "32-bit Wine not to be had today"   true  0 wine32 0 1 yes "the 32-bit Wine could not be installed today"
row "install fails: apt's own words"    false 0 all    1 1 no  "you have held broken packages"
[ "$failures" = 0 ] && echo "6 passed, 0 failed"
exit "$failures"
