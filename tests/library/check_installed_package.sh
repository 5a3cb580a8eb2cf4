#!/usr/bin/env bash
# Installs the component from BUILD into a temporary prefix and uses it as
# another program would: the examples as a separate CMake project with
# find_package(VeltComPort), and the line echo compiled on its own with
# pkg-config. The echo programs run against a pseudo-terminal.
#   check_installed_package.sh BUILD SOURCE ECHO_CHECK
set -euo pipefail
build=$1 source=$2 echo_check=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

# A shared build puts its libraries' runtime files in components of their own.
for component in runtime runtime_ui development; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
if find "$prefix/include" -name '*.h' | grep -qvE '/velt/comport/'; then
  echo "headers installed outside velt/comport/"; exit 1
fi

echo "== find_package(VeltComPort): the examples"
cmake -S "$source/examples" -B "$work/examples" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/examples" -j2 >/dev/null
"$echo_check" "$work/examples/line_echo" "{pty}"
XDG_CONFIG_HOME=$work/config "$work/examples/list_ports" | grep -q '^Serial ports:'

echo "== pkg-config velt-comport"
pcdir=$(dirname "$(find "$prefix" -name velt-comport.pc)")
flags=$(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs velt-comport)
${CXX:-c++} -std=c++20 -o "$work/line_echo_pc" "$source/examples/line_echo.cpp" $flags
# A shared build in a prefix of its own is found at run time through the path.
LD_LIBRARY_PATH=$(dirname "$pcdir")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH} "$echo_check" "$work/line_echo_pc" "{pty}"
