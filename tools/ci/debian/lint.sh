#!/usr/bin/env bash
# lintian on each .deb given, its findings printed; fails on any error or
# warning but the maintainer-address placeholder, which a packager replaces
# (VELT_PACKAGE_MAINTAINER, see the README).
#   lint.sh DEB...
set -euo pipefail
placeholder='bogus-mail-host|bogus-mail-host-in-debian-changelog'
report=$(mktemp)
trap 'rm -f "$report"' EXIT
failed=0
for deb in "$@"; do
  echo "== lintian ${deb##*/} ($(du -k "$deb" | cut -f1) KiB)"
  lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$report" || true
  if grep -E '^[EW]: ' "$report" | grep -vqE ": ($placeholder) "; then
    echo "FAIL: lintian reports more than the maintainer placeholder on ${deb##*/}"
    failed=1
  fi
done
exit "$failed"
