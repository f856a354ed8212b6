#!/usr/bin/env bash
# Builds Quirefold's Debian package and prints the path of the .deb.
# dpkg-buildpackage writes beside the source folder, so the package is built from a copy of
# the tree (the files git knows, committed or not) in build-package/ (or
# QUIREFOLD_PACKAGE_DIR). The version and its date come from CMakeLists.txt, into
# debian/changelog there. The build's log: build-package/build.log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh debhelper dpkg-dev lintian >&2

out="${QUIREFOLD_PACKAGE_DIR:-$root/build-package}"
version=$(sed -n 's/^project(Quirefold VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
released=$(sed -n 's/^set(QUIREFOLD_RELEASE_DATE "\([0-9-]*\)")$/\1/p' CMakeLists.txt)
if [ -z "$version" ] || [ -z "$released" ]; then
  echo "package: no version or release date found in CMakeLists.txt" >&2
  exit 1
fi
src="$out/quirefold-$version"
rm -rf "$out"
mkdir -p "$src"
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
  tar -c --null -T - | tar -x -C "$src"

cat >"$src/debian/changelog" <<CHANGES
quirefold ($version) unstable; urgency=medium

  * Release $version.

 -- Brisendale Software <quirefold@brisendale.example>  $(LC_ALL=C date -u -R -d "$released 12:00")
CHANGES

echo "Building the package in $out (log: $out/build.log) ..." >&2
if ! (cd "$src" && dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1; then
  tail -n 40 "$out/build.log" >&2
  echo "package: dpkg-buildpackage failed; see $out/build.log" >&2
  exit 1
fi
deb="$out/quirefold_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package: $deb was not made" >&2; exit 1; }
echo "$deb"
