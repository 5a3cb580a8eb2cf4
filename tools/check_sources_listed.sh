#!/usr/bin/env bash
# Every source file must be named in a CMakeLists.txt of its folder or of a
# folder above it: the build lists sources by name, so a file that no list
# names would silently not be built (and a test not run).
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$top"
missing=0
while IFS= read -r file; do
  name=$(basename "$file")
  stem=${name%.*}
  dir=$(dirname "$file")
  found=0
  while :; do
    if [ -f "$dir/CMakeLists.txt" ] && grep -qE "(^|[^A-Za-z0-9_])$stem(\\.(cpp|ui))?([^A-Za-z0-9_.]|$)" "$dir/CMakeLists.txt"; then
      found=1
      break
    fi
    [ "$dir" = "." ] && break
    dir=$(dirname "$dir")
  done
  if [ $found -eq 0 ]; then
    echo "not in any CMakeLists.txt: $file"
    missing=1
  fi
done < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.ui' 2>/dev/null || find . \( -name '*.cpp' -o -name '*.ui' \) -not -path './build*' | sed 's|^\./||')
exit $missing
