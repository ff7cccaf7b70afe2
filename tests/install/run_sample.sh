#!/bin/sh
# Runs the program PROGRAM on the sample kept in SAMPLE (relief.raw, relief.txt, answers.txt),
# in a fresh folder WORK, and prints the md5 sums of the result's two files; fails when the run
# does not end with status 0 or leaves no result.
#
#   run_sample.sh PROGRAM SAMPLE WORK
set -eu
program=$1 sample=$2 work=$3
rm -rf "$work"
mkdir -p "$work/images/demo"
cp "$sample/relief.raw" "$sample/relief.txt" "$work/images/demo/"
(cd "$work" && "$program" < "$sample/answers.txt" > transcript.txt)
cd "$work/images/demo"
md5sum relief_venc8.raw relief_venc8.txt
