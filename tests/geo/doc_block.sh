# Sourced by the tests that run a documented recipe again with checks of their own.
#
# doc_block PAGE LINE: prints the first ```sh block after the first line of PAGE that begins
# with LINE (a marker such as "<!-- tested: batch recipe", or a heading), without its fences.
doc_block() {
  awk -v mark="$2" '
    !found && index($0, mark) == 1 { found = 1; next }
    found && !inside && /^```sh$/ { inside = 1; next }
    inside && /^```$/ { exit }
    inside { print }
  ' "$1"
}

# fail MESSAGE: reports a failed check; the test ends with status 1 once every check has run.
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
