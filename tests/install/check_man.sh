#!/bin/sh
# A manual page renders without a warning: man prints nothing on standard error.
#
#   check_man.sh PAGE
set -eu
command -v man > /dev/null || { echo "no man on this host"; exit 77; }
warnings=$(MANWIDTH=80 man --warnings -l "$1" 2>&1 > /dev/null)
[ -z "$warnings" ] || { printf '%s\n' "$warnings"; exit 1; }
rendered=$(MANWIDTH=80 man -l "$1" 2> /dev/null)
for section in NAME SYNOPSIS DESCRIPTION EXAMPLE "EXIT STATUS" "SEE ALSO"; do
  printf '%s\n' "$rendered" | grep -q "^$section" || { echo "no $section section"; exit 1; }
done
