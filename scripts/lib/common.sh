# Shared settings for the project's scripts: build folders, the Wine session.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_root=${SFX_BUILD_DIR:-$root/build}
build_win=$build_root/win
build_win64=$build_root/win64
build_host=$build_root/host
jobs=$(nproc)

# The first N lines of FILE that match the extended PATTERN, or none. Safe under
# pipefail, where a grep that finds nothing would fail the pipeline and stop the
# script before it said why.
first_matches() {
    grep -E "$2" "$3" | head -n "$1" || true
}

# Builds quietly; on failure shows the end of the build log.
build_quietly() {
    if ! cmake --build "$1" -j "$jobs" >"$1/build.log" 2>&1; then
        first_matches 40 'error|Error' "$1/build.log"
        tail -20 "$1/build.log"
        return 1
    fi
}

# Builds the tree for Windows into $1 with the toolchain file $2; any more
# arguments go to cmake.
configure_and_build_windows() {
    cmake -S "$root" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$2" -DCMAKE_BUILD_TYPE=Release -Wno-dev \
        "${@:3}" >/dev/null
    build_quietly "$1"
}

configure_and_build() {
    configure_and_build_windows "$build_win" mingw-i686.cmake
    CC=clang CXX=clang++ cmake -S "$root" -B "$build_host" -DCMAKE_BUILD_TYPE=RelWithDebInfo -Wno-dev \
        -DSFX_WINDOWS_SFXPACK="$build_win/tools/sfxpack/sfxpack.exe" >/dev/null
    build_quietly "$build_host"
}

# A Ukrainian user's Windows: code page 1251, so Cyrillic paths work. The
# 32-bit prefix unless wine_session picks another; WINEARCH is always given,
# since with wine64 installed a new prefix is 64-bit by default.
# $wine is the loader the session's programs run under.
# Only for a shell started after scripts/setup: a shell that looked for the
# locale before setup generated it keeps not finding it, and warns.
wine_environment() {
    export WINEPREFIX=$build_win/wineprefix
    export WINEARCH=win32
    wine=wine
    export WINEDEBUG=-all
    export LANG=uk_UA.UTF-8 LC_ALL=uk_UA.UTF-8
}

# Whether this kernel starts 32-bit programs, asked of a 93-byte i386 program that
# only exits, so that no package is needed to know. Without, prints why not.
# SFX_32BIT_PROBE names another program to ask instead (the setup test's stand-in).
kernel_runs_32bit() {
    local probe error
    probe=${SFX_32BIT_PROBE:-}
    if [ -z "$probe" ]; then
        # In the build folder, not /tmp, which may be mounted noexec.
        mkdir -p "$build_root"
        probe=$(mktemp "$build_root/probe32.XXXXXX")
        printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200' >"$probe"
        chmod +x "$probe"
    fi
    # A shell of its own in the C locale, so that its error reads the same in any session.
    local status=0
    error=$(LC_ALL=C sh -c "\"$probe\"" 2>&1 >/dev/null) || status=$?
    [ -z "${SFX_32BIT_PROBE:-}" ] && rm -f "$probe"
    [ "$status" = 0 ] && return 0
    case $error in
    *"Exec format error"*) echo "the kernel runs 64-bit user code only (IA-32 emulation is off)" ;;
    *) echo "a 32-bit program does not start: ${error:-exit status $status}" ;;
    esac
    return 1
}

# Whether the 32-bit Windows tests can run here: the kernel starts 32-bit programs and the
# 32-bit Wine loader is installed. Without, prints why not.
can_run_32bit() {
    kernel_runs_32bit || return 1
    local error
    error=$(LC_ALL=C sh -c '/usr/lib/wine/wine --version' 2>&1 >/dev/null) && return 0
    echo "the 32-bit Wine is not installed (scripts/setup could not install it today): $error"
    return 1
}

# The prefix of a test session: win32, or win64, where the 32-bit programs
# run under WoW64 as on our users' Windows, or x64, the 64-bit build's
# programs in a 64-bit prefix, for machines that cannot start 32-bit programs.
wine_prefix_of() {
    case $1 in
    win32) echo "$build_win/wineprefix" ;;
    win64) echo "$build_win/wineprefix64" ;;
    x64) echo "$build_win64/wineprefix" ;;
    *) echo "unknown Wine session: $1" >&2; return 1 ;;
    esac
}

# The build whose tests a session runs.
wine_build_of() {
    case $1 in
    x64) echo "$build_win64" ;;
    *) echo "$build_win" ;;
    esac
}

# Points Wine at a session's prefix and loader and tells the tests which
# prefix it is. `wine` and `wineboot` start the 32-bit loader first, so the
# x64 session calls the 64-bit one directly.
wine_session() {
    WINEPREFIX=$(wine_prefix_of "$1")
    case $1 in
    x64) WINEARCH=win64 wine=/usr/lib/wine/wine64 ;;
    *) WINEARCH=$1 wine=wine ;;
    esac
    export WINEPREFIX WINEARCH SFX_WINE_ARCH=$WINEARCH
}

# A fresh prefix for every session; the server stays up so each test starts quickly.
wine_fresh_prefix() {
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
    # Wine draws caption buttons with Marlett, which this Wine finds only in
    # the prefix's own Fonts folder; without it a close box is a letter.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    wineserver -p </dev/null >/dev/null 2>&1
    # Without a window manager, Wine waits two seconds for every closed
    # managed window; unmanaged windows close at once.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A program that crashes gets a backtrace on its output and ends, instead of
    # a crash dialog nobody closes, whose debugger would hold ctest's pipe open.
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
}
