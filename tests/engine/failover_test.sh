#!/usr/bin/env bash
# The failover test's servers: a private primary whose commits wait for a
# streaming standby, both on the loopback address, made for the test and
# removed when it ends, however it ends. The test itself (Failover.* in the
# engine's tests) stops the primary and promotes the standby.
#   failover_test.sh path/to/pg-server.sh path/to/tarnwick_tests
set -euo pipefail
script=$1
tests=$2
dir=$(mktemp -d)
chmod 755 "$dir"
trap 'bash "$script" crash "$dir/primary"; bash "$script" crash "$dir/standby"; rm -rf "$dir"' EXIT
bash "$script" primary "$dir/primary" >/dev/null
bash "$script" standby "$dir/primary" "$dir/standby" >/dev/null
export TARNWICK_FAILOVER_SCRIPT=$script
export TARNWICK_FAILOVER_PRIMARY=$dir/primary
export TARNWICK_FAILOVER_STANDBY=$dir/standby
"$tests" --gtest_filter='Failover.*' --gtest_also_run_disabled_tests
