#!/usr/bin/env bash
# Builds the self-extracting component package: the vendor files (flash tool,
# catalog and images, prebuilt flash drivers) and the program, laid out as the
# program's working directory, in one shell archive made by CPack's STGZ
# generator.
#
#   packaging/make-component-package.sh [-p <program>] [-V <version>] <vendor-dir> <output-file>
#
# <vendor-dir> holds ./bootutil, nic_fw/NICFWData.xml with the images, and
# durivozo/; anything else in it is packaged as it is. <program> defaults to
# build/dazed-fug of this repository, <version> to the project's version.
#
# The administrator extracts the package into an existing directory and runs
# the program there:
#   sh dazed-fug-<version>.sh --prefix=<dir> --skip-license --exclude-subdir
#   cd <dir> && ./dazed-fug -c
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
program=$top/build/dazed-fug
version=""

fail() {
    echo "make-component-package: $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 [-p <program>] [-V <version>] <vendor-dir> <output-file>" >&2
    exit 2
}

while getopts "p:V:" opt; do
    case $opt in
        p) program=$OPTARG ;;
        V) version=$OPTARG ;;
        *) usage ;;
    esac
done
shift $((OPTIND - 1))
[ $# -eq 2 ] || usage
vendor=$1
output=$2

if [ -z "$version" ]; then
    version=$(sed -n 's/^project(dazed-fug VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
    [ -n "$version" ] || fail "cannot tell the project's version; give it with -V"
fi
case $version in
    *[!0-9A-Za-z.+~-]* | "") fail "version '$version' has characters a file name should not" ;;
esac

[ -d "$vendor" ] || fail "vendor directory '$vendor' does not exist"
[ -f "$vendor/bootutil" ] || fail "vendor directory '$vendor' has no flash tool 'bootutil'"
[ -f "$vendor/nic_fw/NICFWData.xml" ] ||
    fail "vendor directory '$vendor' has no firmware catalog 'nic_fw/NICFWData.xml'"
[ -f "$program" ] && [ -x "$program" ] || fail "no program at '$program' (build the dazed-fug target)"
command -v cpack >/dev/null || fail "cpack is not installed (it comes with cmake)"
if [ ! -d "$vendor/durivozo" ]; then
    echo "make-component-package: warning: '$vendor' has no durivozo/; the package carries no flash driver" >&2
fi

output_dir=$(dirname "$output")
[ -d "$output_dir" ] || fail "output directory '$output_dir' does not exist"
output=$(cd "$output_dir" && pwd)/$(basename "$output")

work=$(mktemp -d "${TMPDIR:-/tmp}/dazed-package-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The working directory as the program expects it.
stage=$work/stage
mkdir -p "$stage"
cp -a "$vendor/." "$stage/"
mkdir -p "$stage/nic_fw" "$stage/durivozo"
cp "$program" "$stage/dazed-fug"
chmod 0755 "$stage/dazed-fug" "$stage/bootutil"

# Shown by an interactive extraction in place of a licence.
notice=$work/notice.txt
{
    echo "dazed-fug $version component package"
    echo
    echo "Extract into an existing directory and run the program from there:"
    echo "  sh <this file> --prefix=<dir> --skip-license --exclude-subdir"
    echo "  cd <dir> && ./dazed-fug -h"
} > "$notice"

# Every path below is under $work, which mktemp named, so none needs quoting
# beyond CMake's own string rules.
name=dazed-fug-$version
cat > "$work/CPackConfig.cmake" <<CONFIG
set(CPACK_GENERATOR "STGZ")
set(CPACK_PACKAGE_NAME "dazed-fug")
set(CPACK_PACKAGE_VERSION "$version")
set(CPACK_PACKAGE_VENDOR "The Tarkwell developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware update for Dazed-based PCI network adapters")
set(CPACK_PACKAGE_DESCRIPTION "The dazed-fug program with the vendor flash tool, firmware images and flash drivers it runs with.")
set(CPACK_PACKAGE_FILE_NAME "$name")
set(CPACK_PACKAGE_DIRECTORY "$work/out")
set(CPACK_INSTALLED_DIRECTORIES "$stage;.")
set(CPACK_RESOURCE_FILE_LICENSE "$notice")
set(CPACK_IGNORE_FILES "")
CONFIG

if ! cpack --config "$work/CPackConfig.cmake" > "$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack failed"
fi
[ -f "$work/out/$name.sh" ] || { cat "$work/cpack.log" >&2; fail "cpack made no $name.sh"; }
mv "$work/out/$name.sh" "$output"
chmod 0755 "$output"
echo "$output"
