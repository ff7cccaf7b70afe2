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
# The export says which file placed its output, and nothing else.
[ "$(cat stderr.txt)" = "dem1_venc8.tif placed by images/site/dem1.raw" ] ||
  { fail "the recipe wrote to standard error:" && cat stderr.txt; }
for f in relief.tif images/site/dem1.raw images/site/dem1.txt images/site/dem1.hdr \
  images/site/dem1_venc8.raw images/site/dem1_venc8.txt images/site/dem1_venc8.hdr \
  dem1_venc8.tif dem1_clean.tif dem1_clean.log; do
  [ -s "$f" ] || fail "$f was not written"
done
cmp -s images/site/dem1.raw "$source/images/demo/relief.raw" ||
  fail "the imported GeoTIFF is not the sample image"
grep -q "Ebarbulation treatment" images/site/dem1_venc8.txt ||
  fail "the program did not remove the spurs (see images/site/dem1.log)"
cmp -s dem1_clean.tif dem1_venc8.tif || fail "clean did not give what the three steps give"

# The GeoTIFF sheets' batch form, on two copies of the sample.
batch=$(readme_block "$source/README.md" "batch recipe for GeoTIFF sheets")
if command -v parallel >/dev/null && [ -n "$batch" ]; then
  mkdir -p sheets && cp relief.tif sheets/north.tif && cp relief.tif sheets/south.tif
  bash -e -c "${batch//build\/release\//$build/}" || fail "the GeoTIFF batch stopped"
  for sheet in north south; do
    cmp -s "out/$sheet.tif" dem1_clean.tif || fail "out/$sheet.tif is not the sheet cleaned"
  done
fi
exit $((failures > 0))
