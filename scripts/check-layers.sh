#!/usr/bin/env bash
# Fails when a file includes from a folder above its own: each folder is a
# library and may use only the folders ranked below it.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
rank() {
  case "$1" in
    src/core) echo 0 ;;
    src/stations | src/markup/core | directory) echo 1 ;;
    src/platform) echo 2 ;;
    src/markup | src/control) echo 3 ;;
    src/dialogs | src/shell) echo 4 ;;
    src/window) echo 5 ;;
    src) echo 6 ;;
    *) echo unknown ;;
  esac
}
status=0
while IFS= read -r file; do
  own=$(dirname "$file")
  own_rank=$(rank "$own")
  if [[ $own_rank == unknown ]]; then
    echo "$file: its folder has no layer in $0"; status=1; continue
  fi
  while IFS= read -r included; do
    folder=$(dirname "$included")
    [[ $folder == . ]] && continue
    # the directory server's files name their own folder from the project root
    [[ $folder == directory ]] && target=directory || target="src/$folder"
    [[ $target == "$own" ]] && continue
    target_rank=$(rank "$target")
    if [[ $target_rank == unknown || $target_rank -ge $own_rank ]]; then
      echo "$file includes $included: $target is not below $own"; status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src directory -name '*.h' -o -name '*.cpp' | sort)
exit $status
