#!/usr/bin/env bash
# Fetches minizip's unzip part from Debian's zlib source package, of the version of the installed
# zlib1g-dev, into OUT (a folder under the build folder), and removes the lines of unzip.c that
# switch decryption off. apt runs with a configuration of its own under OUT: its own sources list
# (deb-src lines signed by Debian's archive key), lists and cache, so the machine's apt set-up
# stays as it is. Nothing is fetched again while OUT/unzip.c exists. The Windows build compiles
# the same files with mingw-w64 against libz-mingw-w64-dev.
#   fetch-minizip.sh OUT
set -euo pipefail
out=$(mkdir -p "$1" && realpath "$1")
dev=zlib1g-dev
[[ -f "$out/unzip.c" && -f "$out/ioapi.c" ]] && exit 0

version=$(dpkg-query -W -f='${Version}' "$dev" 2>/dev/null) || {
  echo "fetch-minizip: $dev is not installed (tools/install-deps.sh installs it)" >&2
  exit 1
}
source_package=$(dpkg-query -W -f='${source:Package}' "$dev")
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
mirror=${T6_DEBIAN_MIRROR:-http://deb.debian.org/debian}

apt_dir="$out/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/sources.list.d" "$apt_dir/work"
cat > "$apt_dir/sources.list" <<LIST
deb-src [signed-by=$keyring] $mirror $codename main
deb-src [signed-by=$keyring] $mirror $codename-updates main
deb-src [signed-by=$keyring] ${T6_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security} $codename-security main
LIST
apt_options=(
  -o "Dir::Etc::sourcelist=$apt_dir/sources.list"
  -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache="
  -o "APT::Sandbox::User=root"
  -o "Debug::NoLocking=1"
)
apt-get -qq "${apt_options[@]}" update
# Named with its exact version: the plain name may resolve to a suite whose pool lacks it. When
# the mirror lacks that version's files, another Debian revision of the same upstream release
# serves as well: contrib/minizip comes from the upstream tarball they share. The newest one
# that can be fetched is taken, and the version used is written to OUT/VERSION.
upstream=${version#*:}
upstream=${upstream%-*}
candidates=("$version")
while read -r other; do
  [[ "$other" != "$version" ]] && candidates+=("$other")
done < <(apt-cache "${apt_options[@]}" showsrc --only-source "$source_package" 2>/dev/null |
  sed -n 's/^Version: //p' | sort -u | sort -r -V |
  while read -r v; do u=${v#*:}; [[ "${u%-*}" == "$upstream" ]] && echo "$v"; done)
source_dir=
for candidate in "${candidates[@]}"; do
  rm -rf "$apt_dir/work" && mkdir -p "$apt_dir/work"
  if (cd "$apt_dir/work" && apt-get -qq "${apt_options[@]}" source --only-source "$source_package=$candidate" >/dev/null 2>&1); then
    source_dir=$(find "$apt_dir/work" -maxdepth 1 -mindepth 1 -type d -name "$source_package-*" | head -n 1)
    [[ "$candidate" != "$version" ]] &&
      echo "fetch-minizip: $source_package $version is not on the mirror; took $candidate (same upstream release)" >&2
    version=$candidate
    break
  fi
done
[[ -n "$source_dir" ]] || { echo "fetch-minizip: could not fetch $source_package $upstream from the mirror" >&2; exit 1; }
minizip="$source_dir/contrib/minizip"
[[ -f "$minizip/unzip.c" ]] || { echo "fetch-minizip: no contrib/minizip/unzip.c in $source_dir" >&2; exit 1; }

# Upstream defines NOUNCRYPT unconditionally near the top of unzip.c:
#   #ifndef NOUNCRYPT
#           #define NOUNCRYPT
#   #endif
# Those three lines go; nothing else changes.
awk '
  pending != "" { if ($0 ~ /^[ \t]*#[ \t]*define[ \t]+NOUNCRYPT[ \t]*$/) { skip = 1; pending = ""; next }
                  print pending; pending = "" }
  skip == 1 { if ($0 ~ /^[ \t]*#[ \t]*endif/) { skip = 2; next } }
  /^[ \t]*#[ \t]*ifndef[ \t]+NOUNCRYPT[ \t]*$/ && skip == 0 { pending = $0; next }
  { print }
' "$minizip/unzip.c" > "$out/unzip.c.new"
if grep -q 'define[[:space:]]*NOUNCRYPT' "$out/unzip.c.new"; then
  echo "fetch-minizip: could not remove the NOUNCRYPT define from unzip.c" >&2
  exit 1
fi
for f in unzip.h ioapi.c ioapi.h crypt.h; do cp "$minizip/$f" "$out/$f"; done
printf '%s %s\n' "$source_package" "$version" > "$out/VERSION"
mv "$out/unzip.c.new" "$out/unzip.c"
rm -rf "$apt_dir/work"
