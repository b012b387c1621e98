#!/usr/bin/env bash
# The project's main job on Linux: the engine on the sample installation in a real browser.
#
#   scripts/run-sample.sh [INSTALL_DIR] [--port N] [--fresh]
#
# Builds the development host and the set-up tool (preset native), prepares a copy of the
# sample installation (envoke builds its indexes and derives its main text) and serves the host
# page on 127.0.0.1: open the address it prints. INSTALL_DIR takes another installation.
# Installs missing packages first (scripts/install-deps.sh; skipped with QUILLAX_SKIP_DEPS=1).
# The command-line host alone: build/native/bin/quillax-cli (see README.md).
set -euo pipefail
exec "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/devhost.sh" "$@"
