#!/usr/bin/env bash
# small-drive.sh mount DIR:   mounts a tmpfs of a few MB at DIR (made when
#                             missing), for the tests of a full disk.
# small-drive.sh unmount DIR: unmounts it and removes DIR.
# The test program maps DIR as a drive letter of its own Wine prefix (the
# prefix is made fresh for each run). Where mounting is not allowed (not
# root), mount says why and succeeds all the same: the tests that need the
# drive then skip.
set -uo pipefail
action=${1:-}
dir=${2:-}
[ -n "$dir" ] || { echo "usage: $0 mount|unmount DIR" >&2; exit 2; }
size=${PLOVE_SMALL_DRIVE_SIZE:-4m}

unmount() {
  local tries
  for tries in 1 2 3 4 5; do
    mountpoint -q "$dir" || return 0
    umount "$dir" 2>/dev/null && return 0
    sleep 1
  done
  # Still busy (a process of a killed run): detach it now, freed at its end.
  umount -l "$dir"
}

case $action in
mount)
  mkdir -p "$dir" || exit 1
  # A run that was killed may have left its drive mounted: start empty.
  unmount || exit 1
  if [ "$(id -u)" != 0 ]; then
    echo "small drive: not mounted (mounting a tmpfs needs root); its tests skip"
    exit 0
  fi
  if ! mount -t tmpfs -o "size=$size,mode=0777" plove-small-drive "$dir"; then
    echo "small drive: mount -t tmpfs failed; its tests skip"
    exit 0
  fi
  echo "small drive: $size tmpfs at $dir"
  ;;
unmount)
  unmount || { echo "small drive: could not unmount $dir" >&2; exit 1; }
  rmdir "$dir" 2>/dev/null
  echo "small drive: unmounted"
  ;;
*)
  echo "usage: $0 mount|unmount DIR" >&2
  exit 2
  ;;
esac
