#!/usr/bin/env bash
# The Windows build: the component, velt.exe, velt-cli.exe, their tests and
# the installer velt-setup.exe cross-built with mingw-w64 (the programs also
# for 32-bit Windows); the tests run under Wine on a virtual X display (the
# window driven by messages against the simulated meter, the installer's
# silent install and uninstall); a picture of the window is left in
# build-windows/velt-window.png. tools/windows.sh installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/windows.sh
