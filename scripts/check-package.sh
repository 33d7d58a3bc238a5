#!/usr/bin/env bash
# Checks the built Debian package (or the one named): lintian without errors, the desktop entry and the
# AppStream metainfo valid. Fails on the first error.
set -euo pipefail
cd "$(dirname "$0")/.."
deb="${1:-$(ls -t build/package/*.deb 2>/dev/null | head -n 1)}"
if [[ -z "$deb" || ! -f "$deb" ]]; then
  echo "no package: run bash scripts/package.sh first" >&2
  exit 1
fi
echo "checking $deb"
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
# lintian: errors fail, warnings are shown. Its remark on running as root (CI does) is left out.
status=0
lintian --fail-on error "$deb" 2>"$files.lintian" || status=$?
grep -v 'root privileges' "$files.lintian" >&2 || true
rm -f "$files.lintian"
if ((status != 0)); then
  echo "lintian found errors in $deb" >&2
  exit 1
fi
dpkg-deb -x "$deb" "$files"
desktop=("$files"/usr/share/applications/*.desktop)
metainfo=("$files"/usr/share/metainfo/*.metainfo.xml)
desktop-file-validate "${desktop[@]}"
appstreamcli validate --no-net "${metainfo[@]}"
appstreamcli validate-tree --no-net "$files"
echo "package checks passed: lintian, desktop-file-validate, appstreamcli"
