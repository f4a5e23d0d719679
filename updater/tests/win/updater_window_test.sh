#!/usr/bin/env bash
# The updater's windows on a screen (Xvfb), against the same local update
# server as the network tests (the reference server, sending the files a test lays out).
export QLX_NEEDS_DISPLAY=1 GTEST_FILTER="${GTEST_FILTER:-UpdaterWindows.*}"
exec bash "$(dirname "$0")/updater_network_test.sh" "$@"
