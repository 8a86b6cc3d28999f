#!/usr/bin/env bash
# How setup patches an SDK tree and how the configure checks one, on a small stand-in SDK: cached
# source tarballs of five-line files, trees laid out from them, and patches that change over time.
#
#   SdkPatchesTest.sh <repo root> <cmake>
#
# Conditions are single-quoted on purpose: check evaluates them when it runs.
# shellcheck disable=SC2016,SC2034
set -uo pipefail
repo_root="$1" cmake_program="$2"
work=$(mktemp -d "${TMPDIR:-/tmp}/sdk-patches-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Sourced, setup only defines its functions; were it to run, it would stop at this missing tree.
export VST3_SDK_DIR="$work/no-tree" VST3_SDK_PREFIX="$work/no-prefix"
# shellcheck source=SCRIPTDIR/../../scripts/setup.sh
source "$repo_root/scripts/setup.sh"
set +e

failures=0 checks=0
check() { # <what> <shell condition>
  checks=$((checks + 1))
  eval "$2" || { echo "FAILED: $1" >&2; failures=$((failures + 1)); }
}
said() { grep -qF -- "$1" "$work/log"; }
line() { sed -n "${2}p" "$1"; }
stock() { printf 'first\nsecond\nthird\nfourth\nfifth\n'; }
make_patch() { # <out> <file> <n> <text>: <text> in place of line <n> of a stock <file>
  rm -rf "$work/a" "$work/b" && mkdir -p "$work/a/${2%/*}" "$work/b/${2%/*}"
  stock >"$work/a/$2" && stock | sed "${3}s/.*/$4/" >"$work/b/$2"
  (cd "$work" && diff -u "a/$2" "b/$2" >"$1")
}
setup() { (patch_sdk "$1" "$work/patches" "$2") 2>"$work/log"; } # <tree> <ours|user>
configure() { "$cmake_program" -DSDK_DIR="$1" -DPATCH_DIR="$work/patches" -P "$repo_root/cmake/VastoraSdkPatches.cmake" >"$work/log" 2>&1; }

src="$work/sdk.src"
mkdir -p "$src" "$work/patches"
for c in orig base cmake pluginterfaces public-sdk vstgui4; do
  mkdir -p "$work/pack/top" && stock >"$work/pack/top/$c.txt"
  tar -czf "$src/vst3sdk_1.$([ "$c" = orig ] && echo orig || echo "orig-$c").tar.gz" -C "$work/pack" top && rm -rf "$work/pack"
done
make_patch "$work/patches/one.patch" vstgui4/vstgui4.txt 2 "patched"
make_patch "$work/patches/two.patch" base/base.txt 4 "patched"
make_patch "$work/one-v2.patch" vstgui4/vstgui4.txt 2 "patched again"

# A tree setup laid out: the configure refuses it until setup has patched it, saying so.
sdk="$work/sdk"
lay_out_sdk "$src" "$sdk"
configure "$sdk"; rc=$?
check "a stock tree fails the configure, which names the patches and the command" \
  '[ $rc -ne 0 ] && said one.patch && said two.patch && said "VST3_SDK_PREFIX=$sdk scripts/setup.sh"'
setup "$sdk" ours
check "setup applies each patch and says so" \
  '[ "$(line "$sdk/vstgui4/vstgui4.txt" 2)$(line "$sdk/base/base.txt" 4)" = patchedpatched ] && said "patching $sdk: applying one.patch" && said "patching $sdk: applying two.patch"'
check "a patched tree passes the configure" 'configure "$sdk"'
setup "$sdk" ours
check "a second run is quiet" '[ ! -s "$work/log" ]'

# A changed patch takes the place of the applied version in place; a dropped one comes out.
cp "$work/one-v2.patch" "$work/patches/one.patch"
check "an older version of a patch fails the configure" '! configure "$sdk"'
setup "$sdk" ours
check "a changed patch replaces the applied version" \
  'said "taking out one.patch as it was applied" && ! said laying && [ "$(line "$sdk/vstgui4/vstgui4.txt" 2)" = "patched again" ] && configure "$sdk"'
rm "$work/patches/two.patch"
setup "$sdk" ours
check "a dropped patch comes out" '[ "$(line "$sdk/base/base.txt" 4)" = fourth ] && [ ! -e "$sdk/.vastora-patches/two.patch" ]'

# A build configured on a shared tree checks it again once another checkout's setup repatched it.
proj="$work/proj" other="$work/other-patches"
mkdir -p "$proj" "$other"
printf 'cmake_minimum_required(VERSION 3.20)\nproject(p NONE)\ninclude("%s")\nvastora_check_sdk_patches("%s" "%s")\n' \
  "$repo_root/cmake/VastoraSdkPatches.cmake" "$sdk" "$work/patches" >"$proj/CMakeLists.txt"
"$cmake_program" -S "$proj" -B "$proj/build" -G Ninja >/dev/null 2>&1
make_patch "$other/one.patch" vstgui4/vstgui4.txt 2 "patched"
(patch_sdk "$sdk" "$other" ours) 2>/dev/null
"$cmake_program" --build "$proj/build" >"$work/log" 2>&1; rc=$?
check "a build on a tree another checkout repatched stops at the configure" '[ $rc -ne 0 ] && said one.patch'
setup "$sdk" ours

# A tree of ours with an older version applied before copies were kept is laid out again.
legacy="$work/legacy"
ln -s "$src" "$legacy.src" && lay_out_sdk "$src" "$legacy"
make_patch "$work/one-v1.patch" vstgui4/vstgui4.txt 2 "patched"
run_patch "$legacy" "$work/one-v1.patch"
setup "$legacy" ours
check "an old tree of ours is laid out again and patched" \
  'said "laying the SDK tree at $legacy out again" && [ "$(line "$legacy/vstgui4/vstgui4.txt" 2)" = "patched again" ]'

# A user's tree: setup says it patches their tree, and leaves one it cannot patch alone.
user="$work/user" edited="$work/edited"
lay_out_sdk "$src" "$user" && rm "$user/.laid-out" && cp -r "$user" "$edited"
setup "$user" user
check "setup says it patches the user's own tree" \
  'said "VST3_SDK_DIR=$user is your own SDK tree: patching it in place" && [ "$(line "$user/vstgui4/vstgui4.txt" 2)" = "patched again" ]'
sed -i '1,3s/.*/edited/' "$edited/vstgui4/vstgui4.txt" && cp "$edited/vstgui4/vstgui4.txt" "$work/edited.txt"
setup "$edited" user; rc=$?
check "setup refuses a user's tree it cannot patch and leaves it alone" \
  '[ $rc -ne 0 ] && said "give a fresh SDK 3.7.10 tree" && cmp -s "$work/edited.txt" "$edited/vstgui4/vstgui4.txt"'
configure "$edited"; rc=$?
check "the configure tells how to patch a user's tree" '[ $rc -ne 0 ] && said "VST3_SDK_DIR=$edited scripts/setup.sh"'

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
