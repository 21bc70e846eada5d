#!/usr/bin/env bash
# Sets up the project's own Wine prefix (WINEPREFIX as common.sh sets it:
# ./run's, ./test's, the memory check's, the screenshots') the way the
# Debian package sets up its users' prefixes: packaging/vintrel-prefix.sh
# says what it holds. VINTREL_UNMANAGED_WINDOWS (./test) asks for Wine's
# own, unmanaged windows.
set -euo pipefail
source "$(dirname "$0")/common.sh"
exec "$VINTREL_ROOT/packaging/vintrel-prefix.sh"
