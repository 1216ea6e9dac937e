#!/bin/sh
# Installs what is missing, builds Loreth for Linux and starts it.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/deps.sh build
cmake --preset default >/dev/null
cmake --build --preset default --target loreth
exec build/default/loreth "$@"
