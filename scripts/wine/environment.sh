#!/usr/bin/env bash
# start DIR: make the template Wine prefix (once per build tree) and start an
#            Xvfb display unless DISPLAY is set. Where the tree's programs
#            cannot run here (DIR/arch says x86 and the machine or Wine runs
#            no 32-bit programs), writes the reason to DIR/unavailable, says
#            "run-test: skipped: REASON" and ends with 77.
# stop DIR:  end every wineserver of the test prefixes under DIR and the Xvfb
#            started here.
set -uo pipefail
action=$1
dir=$2
mkdir -p "$dir"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

seed_registry() {
  # A WoW64 prefix has the 32-bit registry view as 64-bit Windows has it;
  # where Wine has no 32-bit part, the prefix lacks what 32-bit programs read
  # there: add it.
  local wow='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion'
  local cv='HKLM\Software\Microsoft\Windows\CurrentVersion'
  if ! wine reg query "$wow" /v ProgramFilesDir >/dev/null 2>&1; then
    wine reg add "$wow" /v ProgramFilesDir /t REG_SZ /d 'C:\Program Files (x86)' /f >/dev/null
    wine reg add "$wow" /v CommonFilesDir /t REG_SZ /d 'C:\Program Files (x86)\Common Files' /f >/dev/null
    wine reg add "$wow" /v ProgramW6432Dir /t REG_SZ /d 'C:\Program Files' /f >/dev/null
  fi
  if ! wine reg query "$cv" /v ProgramW6432Dir >/dev/null 2>&1; then
    wine reg add "$cv" /v ProgramW6432Dir /t REG_SZ /d 'C:\Program Files' /f >/dev/null
  fi
  # No window manager runs on the test display: unmanaged windows spare Wine
  # its wait for one each time a window is hidden.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
}

# Why this tree's programs cannot run here, or nothing. The i686 tree's need
# a machine that runs 32-bit programs and a Wine with its 32-bit part.
unavailable_reason() {
  [ "$(cat "$dir/arch" 2>/dev/null)" = x86 ] || return 0
  if ! bash "$(dirname "$0")/runs-32bit.sh"; then
    echo "this machine does not run 32-bit programs"
  elif [ -f "$dir/template/.ready" ] && [ ! -f "$dir/template/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "Wine has no 32-bit part here (wine32:i386 is not installed; scripts/setup.sh installs it)"
  fi
}

# Wine links the user's Desktop, Documents and the like to the Unix home
# folder: a test that writes there (the desktop copy of a program that
# would not start) would write outside its prefix, into a folder every
# suite running at the same time shares. The template gets folders of its
# own instead.
own_shell_folders() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    [ -L "$link" ] || continue
    rm -f "$link" && mkdir -p "$link" || return 1
  done
  return 0
}

start_display() {
  [ -n "${DISPLAY:-}" ] && { echo "$DISPLAY" > "$dir/display"; return 0; }
  # A display this tree started before and that still runs is kept.
  if [ -f "$dir/xvfb.pid" ] && [ -f "$dir/display" ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; then
    return 0
  fi
  # Xvfb picks a free display itself and names it once it takes clients:
  # two trees starting at the same moment never end up on one display
  # (where one's mouse and focus would steer the other's windows).
  local number=$dir/display.number
  rm -f "$number"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 100); do
    grep -qE '^[0-9]+$' "$number" 2>/dev/null && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 $pid 2>/dev/null && grep -qE '^[0-9]+$' "$number" 2>/dev/null; then
    echo ":$(cat "$number")" > "$dir/display"
    echo $pid > "$dir/xvfb.pid"
    rm -f "$number"
    return 0
  fi
  kill $pid 2>/dev/null
  rm -f "$number"
  echo "could not start Xvfb" >&2
  return 1
}

case $action in
start)
  rm -f "$dir/unavailable"
  reason=$(unavailable_reason)
  if [ -n "$reason" ]; then
    echo "$reason" > "$dir/unavailable"
    echo "run-test: skipped: $reason"
    exit 77
  fi
  start_display || exit 1
  if [ ! -f "$dir/template/.ready" ]; then
    export WINEPREFIX="$dir/template"
    export DISPLAY=$(cat "$dir/display")
    # A prefix made on a loaded machine can come out incomplete: check the
    # result and try again before giving up.
    for attempt in 1 2 3; do
      wineserver -k >/dev/null 2>&1
      rm -rf "$dir/template"
      wineboot -i >/dev/null 2>&1
      wineserver -w
      if [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] && seed_registry && own_shell_folders &&
         wine reg query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion' /v ProgramFilesDir >/dev/null 2>&1; then
        wineserver -w
        touch "$dir/template/.ready"
        break
      fi
      echo "wine template: attempt $attempt failed" >&2
    done
    [ -f "$dir/template/.ready" ] || { echo "could not make the Wine template prefix" >&2; exit 1; }
    reason=$(unavailable_reason)
    if [ -n "$reason" ]; then
      echo "$reason" > "$dir/unavailable"
      echo "run-test: skipped: $reason"
      exit 77
    fi
  fi
  echo "wine template ready at $dir/template, display $(cat "$dir/display")"
  ;;
stop)
  for p in "$dir"/template "$dir"/run-*; do
    [ -d "$p" ] && WINEPREFIX="$p" wineserver -k >/dev/null 2>&1
  done
  rm -rf "$dir"/run-*
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null
    rm -f "$dir/xvfb.pid" "$dir/display"
  fi
  echo "wine environment stopped"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
