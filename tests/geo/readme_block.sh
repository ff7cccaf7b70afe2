# Sourced by the tests that run a README recipe as written.
#
# readme_block README MARKER: prints the first ```sh block after the line "<!-- tested: MARKER -->"
# of README, without its fences.
readme_block() {
  awk -v mark="<!-- tested: $2 -->" '
    $0 == mark { found = 1; next }
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
