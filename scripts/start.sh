#!/usr/bin/env bash
# Sets up the machine, builds, and starts the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh -DORVO_TESTS=OFF -DORVO_BENCH=OFF
exec ./build/orvo
