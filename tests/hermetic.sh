#!/usr/bin/env bash
# Runs one test with a temporary HOME and XDG folders of its own, so no test ever touches the real
# Documents or Desktop folder, and removes them afterwards.
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/brisko-test.XXXXXX") || exit 1
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/runtime" "$root/state"
chmod 700 "$root/runtime"
export HOME="$root/home"
export XDG_CONFIG_HOME="$root/config"
export XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache"
export XDG_STATE_HOME="$root/state"
export XDG_RUNTIME_DIR="$root/runtime"
export BRISKO_TEST_ROOT="$root"
unset XDG_DOCUMENTS_DIR XDG_DESKTOP_DIR
"$@"
exit $?
