#!/usr/bin/env bash
# The Qt parts (comport/ui, app) are not built for Windows here, since
# Debian has no Qt for Windows. This compiles each of their sources with the
# Windows compiler against Debian's Qt headers, without code generation: a
# POSIX call that Windows lacks, or a header that only Linux has, fails it. So a Windows Qt
# build needs nothing but Qt. Usage: check-qt-parts.sh WORK_DIR GENERATED_DIR
# (GENERATED_DIR: the Windows build's generated headers, comport/generated).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
generated=$2
qt=/usr/include/x86_64-linux-gnu/qt6
uic=/usr/lib/qt6/libexec/uic
mkdir -p "$work"
# The forms' headers, as the build's code generator makes them.
"$uic" "$top/app/MainVelt.ui" -o "$work/ui_MainVelt.h"
"$uic" "$top/comport/ui/CPortSetup.ui" -o "$work/ui_CPortSetup.h"

failed=0
for source in "$top"/comport/ui/*.cpp "$top"/comport/ui/windows/*.cpp "$top"/app/*.cpp; do
  if ! x86_64-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -w -D_WIN32_WINNT=0x0601 -DUNICODE -D_UNICODE \
       -DNOMINMAX -DVELT_DESKTOP_ID='"check"' -I"$work" -I"$generated" -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" \
       -I"$top/comport/include" -I"$top/comport/ui/include" -I"$top/comport/framework/include" \
       -I"$top/comport/platform/include" \
       -I"$top/comport/device/include" -I"$top/comport/framework" -I"$top/comport/framework/windows" \
       -I"$top/meter/include" -I"$top/meter" -I"$top/app" -I"$top/comport/ui" "$source"; then
    echo "does not compile for Windows: ${source#$top/}"
    failed=1
  fi
done
[ $failed -eq 0 ] && echo "The Qt parts compile for Windows (checked against Debian's Qt headers)."
exit $failed
