#!/usr/bin/env bash
# End-to-end: the batch recipe of docs/batch.md ("One machine"), run as written with GNU parallel
# on four small sheets, two of them broken, with build/release/torvanelle standing for PROGRAM
# and scripts/ for the repository's scripts folder.
#
#   batch_recipe_test.sh PROGRAM SOURCE_DIR WORK_DIR
#
# Every good sheet's result and log must be byte for byte those of a run of the program on its
# own; every broken sheet must be reported on standard error, leave a log and no result, and
# count in the recipe's final line; a second run must see the same four sheets, and none must
# see the .raw in a hidden folder. Then the guide's --sshlogin form ("A cluster") runs with a
# stand-in for ssh that runs each job on this machine from the home folder, as ssh would on a
# machine that shares the folder, and must give the same results. Last, once the good sheets are
# broken, a run must keep their earlier results and refuse a sheet with a space in its name.
# Ends with 77 (skipped) when `parallel` is not GNU parallel.
set -u
program=$1 source=$2 work=$3
. "$source/tests/geo/doc_block.sh"

if ! parallel --version 2>/dev/null | grep -q "GNU parallel"; then
  echo "parallel is not GNU parallel: skipped"
  exit 77
fi
guide=$source/docs/batch.md
recipe=$(doc_block "$guide" "<!-- tested: batch recipe (continues)")
remote=$(doc_block "$guide" "## A cluster")
if [ -z "$recipe" ] || [ -z "$remote" ]; then
  echo "FAIL: docs/batch.md lacks the block 'batch recipe' or a block under 'A cluster'"
  exit 1
fi
as_tested() {
  local block=${1//build\/release\/torvanelle/$program}
  echo "${block//scripts\//$source/scripts/}"
}
recipe=$(as_tested "$recipe")
remote=$(as_tested "$remote")
remote=${remote/parallel /parallel --ssh $work/home/project/ssh_here }

# The sheets sit in a project folder under a home folder of the test's own, as on a cluster
# whose machines share the home folders: parallel then names the job folder relative to home.
# Its own state (~/.parallel) goes there too, whatever HOME the test was started with.
rm -rf "$work" && mkdir -p "$work/home/project" || exit 1
export HOME=$work/home
cd "$HOME/project" || exit 1
sample=$source/images/demo/relief
sheets=images/sheets
mkdir -p "$sheets"
cp "$sample.raw" "$sheets/north.raw" && cp "$sample.txt" "$sheets/north.txt"
head -c 120000 "$sample.raw" >"$sheets/south.raw" # the sample's top half
printf '200\n600\n1\n0\n255\n10\n' >"$sheets/south.txt"
cp "$sample.raw" "$sheets/broken.raw" # a descriptor the program stops on: status 1
printf -- '-400\n600\n1\n0\n255\n10\n' >"$sheets/broken.txt"
ln -s nowhere.raw "$sheets/gone.raw" # a raster that cannot be opened: "No File", status 0
cp "$sample.txt" "$sheets/gone.txt"
mkdir -p "$sheets/.scratch" && cp "$sample.raw" "$sheets/.scratch/lost.raw" # not a sheet

# What the program alone writes for each good sheet, in a folder of the same name.
mkdir -p reference/$sheets
for name in north south; do
  cp "$sheets/$name.raw" "$sheets/$name.txt" reference/$sheets/
  (cd reference && printf 'sheets\n%s\n0\n0\n' "$name" | "$program" >"$sheets/${name}_venc8.log" 2>&1) ||
    fail "the reference run of $name failed"
done

# ssh as it behaves on a machine sharing the folder: options, host, then the command, run from
# the home folder with the login shell in SHELL, as sshd sets it (parallel's remote worker runs
# the job with $SHELL, and does nothing without it).
cat >ssh_here <<'END'
#!/usr/bin/env bash
SHELL=$(getent passwd "$(id -u)" | cut -d: -f7)
export SHELL=${SHELL:-/bin/sh}
while [ $# -gt 0 ] && [ "${1#-}" != "$1" ]; do
  case $1 in -l | -p | -o | -S) shift 2 ;; *) shift ;; esac
done
shift
[ "${1:-}" = -- ] && shift
cd ~ && exec bash -c "$*"
END
chmod +x ssh_here

for round in 1 2 ssh; do
  if [ $round = ssh ]; then
    rm -f "$sheets"/*_venc8.*
    bash -c "$remote" >stdout.txt 2>stderr.txt
    status=$?
    [ $status -eq 2 ] || fail "over ssh: parallel ended with status $status, not 2"
    grep -q node "$sheets/batch.joblog" || fail "over ssh: no job ran on the other machines"
  else
    bash -c "$recipe" >stdout.txt 2>stderr.txt
    grep -qx "2 sheets failed" stdout.txt || fail "round $round: the recipe said: $(cat stdout.txt)"
  fi
  for name in north south; do
    for ext in raw txt log; do
      cmp -s "$sheets/${name}_venc8.$ext" "reference/$sheets/${name}_venc8.$ext" ||
        fail "round $round: ${name}_venc8.$ext differs from the program's own run"
    done
    grep -q "$name" stderr.txt && fail "round $round: $name was reported: $(cat stderr.txt)"
  done
  for name in broken gone; do
    grep -q "$sheets/$name.raw" stderr.txt || fail "round $round: $name was not reported"
    [ -s "$sheets/${name}_venc8.log" ] || fail "round $round: $name left no log"
    [ -e "$sheets/${name}_venc8.raw" ] && fail "round $round: $name left a result"
  done
  grep -q "No File" "$sheets/gone_venc8.log" || fail "round $round: gone's log does not say No File"
  jobs=$(find "$sheets" -name '*.joblog' -exec tail -n +2 {} \; | wc -l)
  [ "$jobs" -eq 4 ] || fail "round $round: $jobs jobs in the job log, not 4"
done

# The good sheets broken (a descriptor the program stops on; a raster gone: No File, status 0),
# and a sheet with a space, which would have the program clean north: all fail, nothing is lost.
printf -- '-400\n600\n1\n0\n255\n10\n' >"$sheets/north.txt"
ln -sf nowhere.raw "$sheets/south.raw"
cp "$sample.raw" "$sheets/north 2.raw"
bash -c "$recipe" >stdout.txt 2>stderr.txt
grep -qx "5 sheets failed" stdout.txt || fail "broken: the recipe said: $(cat stdout.txt)"
for file in {north,south}_venc8.{raw,txt}; do
  cmp -s "$sheets/$file" "reference/$sheets/$file" || fail "broken: the earlier $file was not kept"
done
grep -qF "'$sheets/north 2.raw': a folder or name with white space" stderr.txt ||
  fail "broken: the sheet with a space was not refused"
[ -e "$sheets/north 2_venc8.log" ] && fail "broken: the sheet with a space was run"
[ $failures -eq 0 ] || { echo "stderr of the last round:"; cat stderr.txt; }
exit $((failures > 0))
