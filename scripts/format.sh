#!/usr/bin/env bash
# Formats every C++ source of the project in place.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
find src server tests bench tools fuzz -name '*.cpp' -o -name '*.h' | xargs -r clang-format -i
