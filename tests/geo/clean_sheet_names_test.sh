#!/usr/bin/env bash
# End-to-end: scripts/clean_sheet on sheets whose folder or name reads like an option: a sheet
# -x in a folder -d, a sheet in a folder --, a sheet -n cleaned by the program under the name
# -torvanelle, found on the PATH. Each must be cleaned as itself: status
# 0, a result byte for byte that of the program run on its own on the same pixels, a descriptor
# naming the sheet; and nothing else under images/ may appear, change or go, earlier results of
# the other sheets included.
#
#   clean_sheet_names_test.sh PROGRAM SOURCE_DIR WORK_DIR
set -u
program=$1 source=$2 work=$3
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

rm -rf "$work" && mkdir -p "$work/project" "$work/reference/images/alone" "$work/bin" || exit 1
ln -s "$program" "$work/bin/-torvanelle" && export PATH=$work/bin:$PATH
cd "$work/project" || exit 1
sample=$source/images/demo/relief
# Sheets of different heights, so that a run on the wrong one gives a different result.
sheets=(images/-d/-x.raw images/--/a.raw images/sheets/-n.raw)
rows=(100 150 200)
programs=("$program" "$program" -torvanelle)
for k in "${!sheets[@]}"; do
  sheet=${sheets[$k]}
  mkdir -p -- "$(dirname -- "$sheet")"
  head -c $((rows[k] * 600)) "$sample.raw" >"$sheet"
  printf '%s\n600\n1\n0\n255\n10\n' "${rows[k]}" >"${sheet%.raw}.txt"
  # What the program alone writes for these pixels.
  cp -- "$sheet" "$work/reference/images/alone/s$k.raw"
  cp -- "${sheet%.raw}.txt" "$work/reference/images/alone/s$k.txt"
  (cd "$work/reference" && printf 'alone\ns%s\n0\n0\n' "$k" | "$program" >/dev/null 2>&1) ||
    fail "the reference run of $sheet failed"
done
# A decoy where a folder read as empty would lead.
head -c 30000 "$sample.raw" >images/a.raw && printf '50\n600\n1\n0\n255\n10\n' >images/a.txt

# Every folder under images/, and every file but the results and logs with its size, time and
# contents; the results and logs apart, with their times.
others() {
  find images -type d | sort
  find images -type f ! -name '*_venc8.*' -printf '%p %s %T@\n' | sort
  find images -type f ! -name '*_venc8.*' -exec md5sum -- {} + | sort
}
results() { find images -name '*_venc8.*' -printf '%p %T@\n' | sort; }

for k in "${!sheets[@]}"; do
  sheet=${sheets[$k]}
  stem=${sheet%.raw}_venc8
  others >others.before && results >results.before
  bash "$source/scripts/clean_sheet" "${programs[$k]}" "$sheet" 2>stderr.txt ||
    fail "$sheet: status $?: $(cat stderr.txt)"
  cmp -s "$stem.raw" "$work/reference/images/alone/s${k}_venc8.raw" ||
    fail "$sheet: $stem.raw is not the program's result for it"
  # The program names its input the DOS way: images\-d\-x.raw.
  grep -qF "${sheet//\//\\}" "$stem.txt" 2>/dev/null ||
    fail "$sheet: $stem.txt does not name the sheet"
  others | cmp -s others.before - || fail "$sheet: other files changed: $(others | diff others.before -)"
  added=$(results | diff results.before - | sed -n 's/^> \(.*\) [^ ]*$/\1/p' | tr '\n' ' ')
  [ "$added" = "$stem.log $stem.raw $stem.txt " ] || fail "$sheet: wrote $added"
  results | diff results.before - | grep -q '^<' && fail "$sheet: an earlier result changed or went"
done
exit $((failures > 0))
