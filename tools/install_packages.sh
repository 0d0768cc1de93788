#!/bin/sh
# Installs the Debian 12 packages that building, running and testing Lumivane Basic need.
set -eu
export DEBIAN_FRONTEND=noninteractive
missing=""
for p in $(grep -v '^#' "$(dirname "$0")/debian-packages.txt"); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update -qq
  apt-get install -y -q -o DPkg::Lock::Timeout=300 --no-install-recommends $missing
fi
