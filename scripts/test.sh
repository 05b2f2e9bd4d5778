#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test; ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLMERE_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
# Both cores: the suites run side by side, each on its own ports and folders.
ctest --test-dir "$build" --output-on-failure --timeout 600 --parallel "$(nproc)"
