#!/usr/bin/env bash
# The Windows build: the component and its tests cross-built with mingw-w64
# and run under Wine (tools/windows.sh installs what is missing).
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/windows.sh
