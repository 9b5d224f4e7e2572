#!/usr/bin/env bash
# The long tablebase checks: WDL and DTZ against a one-ply search over every
# 3-piece position and 20000 positions of each 4-piece table, and the KPK and
# KRKP bitbases against the tables over every position. Needs a built tree
# (scripts/build); takes some minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
CRV_TB_FULL=1 build/tests/crv_tests --gtest_filter='TablebaseTest.*'
