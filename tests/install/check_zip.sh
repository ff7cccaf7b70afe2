#!/bin/sh
# The Windows zip as a user takes it: unpacked, it holds the programs, the read-me and the
# license as plain text with CR LF line ends, and the sample under images/demo; with images/ moved to C:\images\ (of the
# Wine prefix), torvanelle.exe run on the sample writes the expected result: the raster byte for
# byte, the descriptor up to its CR LF line ends.
#
#   check_zip.sh BUILD RUNNER PREFIX EXPECTED
#
# BUILD holds the zip CPack made (the package step of the windows-package workflow); RUNNER and
# PREFIX run a Windows program (cmake/wine-run.sh); EXPECTED holds images/demo/relief_venc8.*.
set -eu
build=$1 runner=$2 prefix=$3 expected=$4
zip=$(ls "$build"/torvanelle-*-windows-x86_64.zip 2> /dev/null | head -n 1)
[ -n "$zip" ] || { echo "no zip in $build: run cpack -G ZIP there first"; exit 1; }
work=$build/zip_check
rm -rf "$work"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")

problems=0
found=$(cd "$work/unpacked" && find . -type f | sort | tr '\n' ' ')
wanted="./LICENSE.txt ./README.txt ./images/demo/answers.txt ./images/demo/relief.raw ./images/demo/relief.txt ./preview.exe ./torvanelle-engine.exe ./torvanelle.exe "
[ "$found" = "$wanted" ] || { echo "the zip holds $found, expected $wanted"; problems=1; }
# Its read-me and license read in Notepad: plain text, every line ended by CR LF.
for text in README.txt LICENSE.txt; do
  if grep -q -v "$(printf '\r')\$" "$work/unpacked/$text" || grep -q -e '```' -e '](' "$work/unpacked/$text"; then
    echo "$text is not plain text with CR LF line ends"
    problems=1
  fi
done

images=$prefix/drive_c/images
[ ! -e "$images/demo" ] || { echo "$images/demo exists already: remove it"; exit 1; }
mkdir -p "$images"
cp -R "$work/unpacked/images/demo" "$images/demo"
trap 'rm -rf "$images/demo"' EXIT
if ! "$runner" "$prefix" "$work/unpacked/torvanelle.exe" < "$work/unpacked/images/demo/answers.txt" \
     > "$work/transcript.txt"; then
  echo "torvanelle.exe ended with an error"
  problems=1
fi
cmp "$images/demo/relief_venc8.raw" "$expected/images/demo/relief_venc8.raw" || problems=1
tr -d '\r' < "$images/demo/relief_venc8.txt" | cmp - "$expected/images/demo/relief_venc8.txt" ||
  problems=1
exit $problems
