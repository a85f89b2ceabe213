#!/usr/bin/env bash
# Everything from a fresh clone: set-up, build, then the main job in the host stand-in.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"
"$build/velqora-host" --smoke "$build/Velqora-pxm.so"
