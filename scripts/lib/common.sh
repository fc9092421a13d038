# shellcheck shell=bash
# What the project's scripts share, sourced by them (never run): finding programs, installing Debian packages,
# running Wine in a prefix of the project's own and running under a virtual X display.
#   . "$(dirname "$0")/lib/common.sh"        from a script in scripts/
# The sourcing script has `set -euo pipefail`; every function here returns non-zero (or ends the script) on failure.

# The repository's root, and the running script's own path (for running it again under Xvfb after a `cd`); both
# for the scripts that source this file.
# shellcheck disable=SC2034
QMZ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
QMZ_SELF=$(realpath "$0")

# The first of the given programs that exists (no pipe: under pipefail a
# reader that stops early would end the script with SIGPIPE now and then).
first_program() {
  local p
  for p in "$@"; do
    if command -v "$p" >/dev/null 2>&1; then command -v "$p"; return 0; fi
  done
  return 1
}

# Runs a command as root: directly when the script is root, else through sudo.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Whether a Debian package (NAME or NAME:ARCH) is installed.
package_installed() {
  local status
  status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) || return 1
  [[ $status == *"install ok installed"* ]]
}

# Installs the given Debian packages that are not installed yet, with apt-get, non-interactively; a package of a
# foreign architecture (NAME:i386) gets that architecture enabled first. Fails, saying so, when apt-get does.
# Other checkouts may run apt-get at the same time: it waits for their lock instead of failing on it.
install_packages() {
  local missing=() p arch
  for p in "$@"; do
    package_installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  for p in "${missing[@]}"; do
    [[ $p == *:* ]] || continue
    arch=${p##*:}
    if [ "$arch" != "$(dpkg --print-architecture)" ] && ! grep -qx "$arch" <<<"$(dpkg --print-foreign-architectures)"
    then
      echo "enabling the package architecture $arch" >&2
      as_root dpkg --add-architecture "$arch"
    fi
  done
  echo "installing ${missing[*]}" >&2
  local apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -qq)
  if ! as_root "${apt[@]}" update >&2 || ! as_root "${apt[@]}" install -y "${missing[@]}" >&2; then
    echo "error: apt-get could not install ${missing[*]}" >&2
    return 1
  fi
}

# Commands run when the script ends, the last added first; each is a string for eval, and one that fails does not
# keep the others from running. The script's exit status stays its own.
qmz_exit_commands=""
on_exit() {
  qmz_exit_commands="{ $1; } || true${qmz_exit_commands:+; $qmz_exit_commands}"
  trap 'eval "$qmz_exit_commands"' EXIT
}

# --- Wine -------------------------------------------------------------------------------------------------------
# Every Windows program of the project runs in a prefix of its own (never the user's), quietly, without the .NET
# and browser components a prefix would otherwise offer to download.
#   wine_use PREFIX [win64|win32]
# sets `wine` (Debian's loader for that architecture, called directly: its `wine` wrapper picks the 32-bit loader
# whenever that is installed) and `wineserver`, and exports the environment. A win32 prefix runs 32-bit programs
# only, with the 32-bit loader of the package wine32:i386; one server program serves prefixes of both kinds.
wine_use() {
  local arch=${2:-win64}
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  case $arch in
    win64) unset WINEARCH
           wine=$(first_program /usr/lib/wine/wine64 wine64 wine) ;;
    win32) export WINEARCH=win32
           wine=$(first_program /usr/lib/wine/wine) ;;
    *) echo "wine_use: no Wine architecture '$arch'" >&2; return 2 ;;
  esac
  # shellcheck disable=SC2034  # for the scripts that source this file
  wineserver=$(first_program /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32 wineserver)
}

# Whether this machine runs 32-bit x86 programs at all (the i386 C library's loader, which wine32:i386 brings,
# answers): a kernel without 32-bit support, as in some virtual machines, runs none, and so no 32-bit Windows
# program under Wine either.
runs_32bit_programs() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The Wine architecture a Windows executable needs, win32 or win64: the machine field of its PE header.
wine_arch_of() {
  local header machine
  header=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -t x2 -j $((header + 4)) -N 2 "$1" | tr -d ' ')
  case $machine in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) echo "$1: no 32-bit or 64-bit x86 Windows executable" >&2; return 1 ;;
  esac
}

# Makes the prefix, or brings it up to date, quietly unless that fails (wineboot).
wine_boot() {
  # Its output goes to a file, not a pipe: the programs it leaves running would hold a pipe open.
  local log
  log=$(mktemp)
  if ! "$wine" wineboot --init >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "error: wineboot could not make the Wine prefix $WINEPREFIX" >&2
    return 1
  fi
  rm -f "$log"
}

# Starts the prefix's server and keeps it running until the script ends, and makes the prefix: each start of a
# Windows program then costs a fraction of a second instead of seconds.
wine_start() {
  # -p fails when a server for the prefix already runs: that one serves.
  "$wineserver" -p 2>/dev/null || true
  on_exit "$(printf 'WINEPREFIX=%q %q -k 2>/dev/null' "$WINEPREFIX" "$wineserver")"
  wine_boot
}

# Ends the prefix's server and every program still running in the prefix.
wine_stop() {
  "$wineserver" -k 2>/dev/null || true
}

# --- X display --------------------------------------------------------------------------------------------------
# Runs the calling script again on a virtual X display of WIDTHxHEIGHT when it has none (every program of the run
# then shares one display):
#   rerun_on_display 1280x800 "$@"
rerun_on_display() {
  local geometry=$1
  shift
  [ -n "${DISPLAY:-}" ] && return 0
  exec xvfb-run -a -s "-screen 0 ${geometry}x24" "$QMZ_SELF" "$@"
}

# Runs the calling script again on a virtual X display of its own, even when there is a display: for screenshots
# and checks of what is on the screen, which must not meet the user's windows.
rerun_on_own_display() {
  local geometry=$1
  shift
  on_own_display && return 0
  export QMZ_OWN_DISPLAY_OF=$QMZ_SELF
  exec xvfb-run -a -s "-screen 0 ${geometry}x24" "$QMZ_SELF" "$@"
}

# Whether the calling script already runs on the display rerun_on_own_display gave it (what to prepare before
# that, outside of it, is done only once).
on_own_display() {
  [ "${QMZ_OWN_DISPLAY_OF:-}" = "$QMZ_SELF" ]
}

# Runs a command on the X display there is, or on a virtual one of WIDTHxHEIGHT when there is none.
#   exec_on_display 1280x800 COMMAND [ARGS...]
exec_on_display() {
  local geometry=$1
  shift
  [ -n "${DISPLAY:-}" ] && exec "$@"
  exec xvfb-run -a -s "-screen 0 ${geometry}x24" "$@"
}
