#!/bin/sh
# What an installation holds, and that it works: `cmake --install BUILD` into a fresh prefix
# (or the Debian package DEB unpacked into a fresh root) must hold the programs that were
# built and nothing else in bin/, their manual pages, the README, the license and the sample;
# the installed program run on the installed sample must write what the build's program
# writes; removed again, the installation leaves not even an empty folder.
#
#   check_install.sh tree|deb BUILD WORK PROGRAMS...
#
# PROGRAMS are the file names bin/ must hold; in deb mode the package is the one CPack left in
# BUILD (cpack -G DEB, or the package step of the `package` workflow).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
mode=$1 build=$2 work=$3
shift 3
rm -rf "$work"
mkdir -p "$work"
if [ "$mode" = deb ]; then
  deb=$(ls "$build"/torvanelle_*.deb 2> /dev/null | head -n 1)
  [ -n "$deb" ] || { echo "no package in $build: run cpack -G DEB there first"; exit 1; }
  dpkg-deb --info "$deb" | grep -q 'Depends: .*libc6' || { echo "no dependencies derived"; exit 1; }
  dpkg -x "$deb" "$work/root"
  prefix=$work/root/usr
else
  cmake --install "$build" --prefix "$work/root/usr" > /dev/null
  prefix=$work/root/usr
fi

problems=0
say() { echo "$*"; problems=1; }
found=$(ls "$prefix/bin" | sort | tr '\n' ' ')
wanted=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
[ "$found" = "$wanted" ] || say "bin/ holds '$found', expected '$wanted'"
for program in "$@"; do
  [ -f "$prefix/share/man/man1/$program.1" ] || say "no manual page for $program"
done
doc=$prefix/share/doc/torvanelle
for file in README.md LICENSE copyright images/demo/relief.raw images/demo/relief.txt \
            images/demo/answers.txt; do
  [ -f "$doc/$file" ] || say "no $file in share/doc/torvanelle"
done

# The QGIS plugin, where Debian's QGIS finds system plugins, finds the installed programs.
if [ -d "$build/qgis/torvanelle" ]; then
  plugins=$prefix/share/qgis/python/plugins
  for file in __init__.py metadata.txt provider.py; do
    [ -f "$plugins/torvanelle/$file" ] || say "no $file in share/qgis/python/plugins/torvanelle"
  done
  seen=$(PYTHONDONTWRITEBYTECODE=1 python3 -c "import sys; sys.path.insert(0, sys.argv[1])
from torvanelle.programs import find_program; print(find_program('torvanelle', search_path=''))" \
    "$plugins")
  [ "$seen" = "$prefix/bin/torvanelle" ] || say "the installed plugin finds '$seen', not $prefix/bin/torvanelle"
fi

installed=$(sh "$here/run_sample.sh" "$prefix/bin/torvanelle" "$doc/images/demo" "$work/installed")
built=$(sh "$here/run_sample.sh" "$build/torvanelle" "$doc/images/demo" "$work/built")
[ "$installed" = "$built" ] || say "the installed program wrote $installed where the build's wrote $built"

# Removed by the build's uninstall script, the prefix holds nothing, not even an empty folder.
if [ "$mode" = tree ]; then
  cmake -DMANIFEST="$build/install_manifest.txt" -P "$here/../../cmake/uninstall.cmake" > /dev/null
  left=$(find "$prefix" -mindepth 1 | head -n 3 | tr '\n' ' ')
  [ -z "$left" ] || say "the removal left $left"
fi
exit $problems
