#!/usr/bin/env bash
# The picture fuzzer alone; kept for habit. scripts/fuzz.sh runs every target.
#
#   scripts/fuzz-pictures.sh            # ten minutes
#   scripts/fuzz-pictures.sh 60 -jobs=2 # one minute, extra libFuzzer flags
exec "$(dirname "$0")/fuzz.sh" jobs_picture_fuzzer "${1:-600}" "${@:2}"
