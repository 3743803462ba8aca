#!/bin/sh
# Stand-in for a family's firmware updater: the demo server serves it under each updater's name.
# It says which updater the launcher started, from where and with what arguments. With
# TAVO_DEMO_REPORT set (scripts/demo --headless) it also appends that line to the named file,
# so the demo knows the updater has run.
if [ $# -eq 0 ]; then
  arguments="no arguments"
else
  arguments="arguments: $*"
fi
line="Demo updater $(basename "$0") started from $(dirname "$0") with $arguments"
echo "$line"
if [ -n "${TAVO_DEMO_REPORT:-}" ]; then
  echo "$line" >> "$TAVO_DEMO_REPORT"
fi
