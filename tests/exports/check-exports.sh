#!/bin/sh
# check-exports.sh LIBRARY [NAME...]: the library's dynamic symbol table defines exactly
# the names given (glob patterns), nothing else; a name without wildcards must be there.
lib="$1"; shift
[ -f "$lib" ] || { echo "missing $lib"; exit 1; }
status=0
for sym in $(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//'); do
  ok=0
  for pattern in "$@"; do
    case "$sym" in $pattern) ok=1 ;; esac
  done
  if [ "$ok" -eq 0 ]; then
    echo "unexpected export in $lib: $sym"
    status=1
  fi
done
defined=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//')
for pattern in "$@"; do
  case "$pattern" in *[*?[]*) continue ;; esac
  if ! printf '%s\n' "$defined" | grep -qx "$pattern"; then
    echo "missing export in $lib: $pattern"
    status=1
  fi
done
exit $status
