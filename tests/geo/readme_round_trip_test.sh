#!/usr/bin/env bash
# End-to-end: the README's GeoTIFF round trip ("From a GIS and back"), run as written in a fresh
# folder, with build/release/ standing for the build folder under test.
#
#   readme_round_trip_test.sh BUILD_DIR SOURCE_DIR WORK_DIR
set -u
build=$1 source=$2 work=$3
. "$source/tests/geo/readme_block.sh"

recipe=$(readme_block "$source/README.md" "GIS round trip")
if [ -z "$recipe" ]; then
  echo "FAIL: README.md has no block marked 'GIS round trip'"
  exit 1
fi
recipe=${recipe//build\/release\//$build/}

rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
if ! bash -e -c "$recipe" >stdout.txt 2>stderr.txt; then
  fail "the recipe stopped:"
  cat stderr.txt
fi
[ -s stderr.txt ] && fail "the recipe wrote to standard error:" && cat stderr.txt
for f in relief.tif images/site/dem1.raw images/site/dem1.txt images/site/dem1.hdr \
  images/site/dem1_venc8.raw images/site/dem1_venc8.txt images/site/dem1_venc8.hdr \
  dem1_venc8.tif; do
  [ -s "$f" ] || fail "$f was not written"
done
cmp -s images/site/dem1.raw "$source/images/demo/relief.raw" ||
  fail "the imported GeoTIFF is not the sample image"
grep -q "Ebarbulation treatment" images/site/dem1_venc8.txt ||
  fail "the program did not remove the spurs (see images/site/dem1.log)"
exit $((failures > 0))
