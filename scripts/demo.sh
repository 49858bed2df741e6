#!/usr/bin/env bash
# The main job: installs what the Linux build needs, builds it, and runs the library
# through qorvcrypt on the sample configuration.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --linux
cmake --preset linux >/dev/null
cmake --build --preset linux
qorvcrypt=build/linux/bin/qorvcrypt
echo
echo "\$ qorvcrypt list --config samples/crypto-config.xml"
"$qorvcrypt" list --config samples/crypto-config.xml
