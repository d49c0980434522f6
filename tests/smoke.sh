#!/bin/sh
# Starts one deliverable and checks that it answers and exits cleanly.
set -e
program="$1"
out=$("$program" </dev/null)
echo "$out"
echo "$out" | grep -q "Vorlix"
