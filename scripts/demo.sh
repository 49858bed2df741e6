#!/usr/bin/env bash
# The main job: installs what the Linux build needs, builds it, and walks through a
# whole deployment with qorvcrypt, the library and the reference provider
# (scripts/walkthrough.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --linux
cmake --preset linux >/dev/null
cmake --build --preset linux >/dev/null
bash scripts/walkthrough.sh build/linux/bin
