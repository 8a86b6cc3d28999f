#!/usr/bin/env bash
# Prepares a Debian 12 machine to build Vastora: the build packages, and the VST3 SDK with
# VSTGUI built from Debian's own source package into a machine-wide prefix outside the repo.
# Every step checks whether it was done already, so a second run takes seconds.
#
#   scripts/setup.sh                 set everything up (default prefix /opt/vst3sdk-3.7.10)
#   scripts/setup.sh --windows       also install the Windows x86-64 cross toolchain and wine
#   VST3_SDK_DIR=/path scripts/setup.sh   use an SDK tree the user already has (patched in place)
#
# The SDK tree gets the patches in cmake/patches/, and keeps a copy of each one it has under
# .vastora-patches/, so that a changed or dropped patch can be taken back out before the new set
# goes in. Each patch must apply and reverse on its own, without the others.
#
# Prints nothing on stdout but the SDK directory on its last line, so callers can capture it.
set -euo pipefail

SDK_VERSION="3.7.10.14+~4.13.3-4"
SDK_PREFIX="${VST3_SDK_PREFIX:-/opt/vst3sdk-3.7.10}"
repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

log() { echo "setup: $*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

packages=(
  build-essential cmake ninja-build pkgconf ccache patch
  libx11-dev libxcb1-dev libxcb-util-dev libxcb-cursor-dev libxcb-keysyms1-dev libxcb-xkb-dev
  libxkbcommon-dev libxkbcommon-x11-dev libglib2.0-dev libcairo2-dev libpango1.0-dev
  libfontconfig-dev libfreetype-dev libexpat1-dev libgtkmm-3.0-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils fonts-liberation libxtst-dev zlib1g-dev locales
  clang-14 libclang-rt-14-dev llvm-14
)

# The Windows build: mingw-w64's posix-threads compilers (std::thread and std::mutex need them),
# GoogleTest's sources to build it for Windows, and wine to run and test what comes out.
windows_packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
  wine wine64 fonts-wine
)

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  log "installing: ${missing[*]}"
  apt_get update -qq
  apt_get install -y -qq --no-install-recommends "${missing[@]}"
}

# apt-get as root, output on stderr, waiting while another package manager holds the package lock
# (on a fresh machine the automatic updates hold it for minutes after boot). apt 2.6 can wait for
# dpkg's lock itself (DPkg::Lock::Timeout) but not for the package lists' lock, and waits without a
# word under -qq: so an attempt refused for a held lock is repeated after saying who holds it,
# until VASTORA_APT_LOCK_WAIT seconds (30 minutes by default) have gone by.
apt_get() {
  local limit="${VASTORA_APT_LOCK_WAIT:-1800}" poll="${VASTORA_APT_LOCK_POLL:-5}"
  local start=$SECONDS said=-1 errors status
  while :; do
    status=0
    { errors="$(as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout="$poll" "$@" 2>&1 1>&3)"; } 3>&2 ||
      status=$?
    if [ $status -eq 0 ] || ! grep -qE 'Could not get lock|Unable to lock|Unable to acquire' <<<"$errors" ||
      [ $((SECONDS - start)) -ge "$limit" ]; then
      [ -n "$errors" ] && echo "$errors" >&2
      return $status
    fi
    # Once at first and then once a minute, so a long wait does not look like a hang.
    if [ $said -lt 0 ] || [ $((SECONDS - said)) -ge 60 ]; then
      log "waiting for the package lock ($((SECONDS - start)) s so far): $(grep -m1 -E 'lock' <<<"$errors" | sed 's/^E: //')"
      said=$SECONDS
    fi
    sleep "$poll"
  done
}

# name of each orig tarball component -> pinned sha256
declare -A sums=(
  [orig]=0c9fa7b578f8549d6ce6efeb427e9c7df8ca0e018bea13a523b78bb167663b81
  [base]=b9eb5c1e57ca2ef6b2560dd0e13822dd5a51e437b8f5a6c421b099d621d2bffb
  [cmake]=f4699e910a67e585d7d177b2a48f6aa43706b3f073c8e454615f094484374349
  [pluginterfaces]=fd426c6b26ef93fdfdc8aef7e9b836c1bf43f25b8a1ef4c0642a41fb9250ab8a
  [public-sdk]=ca1f70406b36f0763c799085c67deed5befc69514cc2b9cacb804512e95db335
  [vstgui4]=5a7673c7b22a66086a6749a0c7ff447fcfc4a10d2c2013d58ff1320be4e8456f
)

# Fetches the orig tarballs through a private apt configuration: its own sources list (deb-src of
# trixie), lists and cache, so the system's apt sources stay untouched.
download_sources() {
  local dl="$1"
  local aptdir="$dl/apt"
  mkdir -p "$aptdir/lists/partial" "$aptdir/cache/archives/partial" "$aptdir/etc/preferences.d" "$aptdir/etc/sources.list.d"
  echo "deb-src http://deb.debian.org/debian trixie main" >"$aptdir/etc/sources.list"
  local opts=(
    -o "Dir::Etc::SourceList=$aptdir/etc/sources.list"
    -o "Dir::Etc::SourceParts=$aptdir/etc/sources.list.d"
    -o "Dir::Etc::Preferences=$aptdir/etc/preferences"
    -o "Dir::Etc::PreferencesParts=$aptdir/etc/preferences.d"
    -o "Dir::State::Lists=$aptdir/lists"
    -o "Dir::Cache=$aptdir/cache"
    -o "Debug::NoLocking=1"
    -o "APT::Sandbox::User=root"
  )
  local all_present=1
  for c in "${!sums[@]}"; do
    ls "$dl"/vst3sdk_*."$([ "$c" = orig ] && echo orig || echo "orig-$c")".tar.* >/dev/null 2>&1 || all_present=0
  done
  [ $all_present -eq 1 ] && return

  log "reading the trixie source index"
  apt-get "${opts[@]}" update -qq >&2
  local uris
  uris=$(apt-get "${opts[@]}" --print-uris source "vst3sdk=$SDK_VERSION" 2>/dev/null | grep -o "'[^']*orig[^']*'" | tr -d "'")
  [ -n "$uris" ] || { log "no source URIs for vst3sdk=$SDK_VERSION"; exit 1; }
  local url file comp
  for url in $uris; do
    file="${url##*/}"
    case "$file" in
      *.orig.tar.*) comp=orig ;;
      *.orig-*.tar.*) comp="${file#*.orig-}"; comp="${comp%%.tar.*}" ;;
      *) continue ;;
    esac
    [ -n "${sums[$comp]:-}" ] || { log "unexpected component $comp"; exit 1; }
    if [ -f "$dl/$file" ] && echo "${sums[$comp]}  $dl/$file" | sha256sum -c --quiet - 2>/dev/null; then
      continue
    fi
    log "downloading $file"
    /usr/lib/apt/apt-helper download-file "$url" "$dl/$file" "SHA256:${sums[$comp]}" >&2
  done
}

# Lays the SDK tree out as the upstream SDK has it: the plain orig tarball at the root, each
# component in its own folder (public-sdk as public.sdk). Lays it anew over whatever the folder
# held, in place (the folder may be the only thing under its parent that is ours). Files get the
# time of the lay-out, not the archive's, so that builds from an earlier lay-out see every file as
# changed. The .laid-out mark goes last, so an interrupted lay-out is done again.
lay_out_sdk() {
  local dl="$1" dest="$2"
  mkdir -p "$dest"
  rm -f "$dest/.laid-out"
  find "$dest" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
  tar -xmf "$(ls "$dl"/vst3sdk_*.orig.tar.*)" -C "$dest" --strip-components=1
  local c dir
  for c in base cmake pluginterfaces public-sdk vstgui4; do
    dir="$c"
    [ "$c" = public-sdk ] && dir=public.sdk
    rm -rf "${dest:?}/$dir"
    mkdir -p "$dest/$dir"
    tar -xmf "$(ls "$dl"/vst3sdk_*.orig-"$c".tar.*)" -C "$dest/$dir" --strip-components=1
  done
  touch "$dest/.laid-out"
}

# patch, with no fuzz (a hunk applies where its whole context matches, or not at all) and no
# backup files left in the tree.
run_patch() {
  local dir="$1" file="$2"
  shift 2
  patch -d "$dir" -p1 -s -f --fuzz=0 --no-backup-if-mismatch "$@" <"$file"
}

# Brings the tree's patches in line with the given folder's: takes out each recorded patch that
# was dropped or changed, puts in each one not yet there, and checks that the rest are still in.
# Says what it changes in which tree. Fails, leaving the tree as the last patch that went well
# left it, when a patch will not go in or out cleanly (the tree was edited, or is another version).
# Called as a condition, so each step that must not fail says so.
sync_patches() {
  local sdk="$1" patches="$2" what="$3"
  local records="$sdk/.vastora-patches" p r name status=0
  mkdir -p "$records" || return 1
  shopt -s nullglob
  for r in "$records"/*.patch; do
    name="$(basename "$r")"
    [ -f "$patches/$name" ] && cmp -s "$r" "$patches/$name" && continue
    if ! run_patch "$sdk" "$r" -R --dry-run >/dev/null 2>&1; then
      log "cannot take $name (as it was applied) out of $sdk"
      status=1
      break
    fi
    announce_patching "$sdk" "$what" "taking out $name as it was applied"
    run_patch "$sdk" "$r" -R >&2 && rm -f "$r" || { status=1; break; }
  done
  for p in "$patches"/*.patch; do
    [ $status -eq 0 ] || break
    name="$(basename "$p")"
    if [ -f "$records/$name" ]; then
      run_patch "$sdk" "$p" -R --dry-run >/dev/null 2>&1 && continue
      log "$sdk no longer has $name as it was applied (the tree was changed)"
      status=1
    elif run_patch "$sdk" "$p" --dry-run >/dev/null 2>&1; then
      announce_patching "$sdk" "$what" "applying $name"
      run_patch "$sdk" "$p" >&2 && cp "$p" "$records/$name" || status=1
    elif run_patch "$sdk" "$p" -R --dry-run >/dev/null 2>&1; then
      cp "$p" "$records/$name" || status=1 # applied before copies were kept
    else
      log "$name neither applies to $sdk nor is in it already (an older version is, or the tree was changed)"
      status=1
    fi
  done
  shopt -u nullglob
  return $status
}

# One line per change to the tree; before the first change to a user's own tree, a word that it
# is theirs that gets patched.
announced=""
announce_patching() {
  local sdk="$1" what="$2"
  shift 2
  if [ "$what" = user ] && [ "$announced" != "$sdk" ]; then
    log "VST3_SDK_DIR=$sdk is your own SDK tree: patching it in place (copies of the patches go to $sdk/.vastora-patches, so that they can be taken out again)"
    announced="$sdk"
  fi
  log "patching $sdk: $*"
}

# Patches the SDK tree. A tree this script laid out is laid out again from the cached sources
# when its patches cannot be brought up to date in place (a tree from before copies were kept,
# or one changed by hand); a user's tree is never replaced: that is left to its owner.
patch_sdk() {
  local sdk="$1" patches="$2" what="$3"
  sync_patches "$sdk" "$patches" "$what" && return
  if [ "$what" = user ]; then
    log "VST3_SDK_DIR=$sdk: its patches cannot be brought up to date; give a fresh SDK 3.7.10 tree"
    return 1
  fi
  log "laying the SDK tree at $sdk out again from the sources in $sdk.src"
  download_sources "$sdk.src"
  lay_out_sdk "$sdk.src" "$sdk"
  sync_patches "$sdk" "$patches" "$what"
}

# The SDK's validator is built once next to the SDK so that every checkout can run it.
build_validator() {
  local sdk="$1"
  local build="$sdk/build-validator"
  if [ -x "$build/bin/Release/validator" ] && [ "$build/bin/Release/validator" -nt "$sdk/public.sdk/samples/vst-hosting/validator/source/validator.cpp" ]; then
    return
  fi
  log "building the SDK validator"
  cmake -S "$sdk" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DSMTG_ENABLE_VST3_PLUGIN_EXAMPLES=OFF -DSMTG_ENABLE_VST3_HOSTING_EXAMPLES=ON \
    -DSMTG_ENABLE_VSTGUI_SUPPORT=OFF -DSMTG_RUN_VST_VALIDATOR=OFF -DSMTG_CREATE_PLUGIN_LINK=OFF >&2
  cmake --build "$build" --target validator >&2
}

# Tests check that value texts ignore the process's locale; they need one with a decimal comma.
ensure_test_locale() {
  if locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    return
  fi
  log "generating the de_DE.UTF-8 locale for the tests"
  as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8 >&2
}

main() {
  local arg
  for arg in "$@"; do
    case "$arg" in
      --windows) packages+=("${windows_packages[@]}") ;;
      *) log "unknown option $arg"; exit 2 ;;
    esac
  done
  install_packages
  ensure_test_locale
  local sdk what lock
  if [ -n "${VST3_SDK_DIR:-}" ]; then
    sdk="$VST3_SDK_DIR"
    what=user
    [ -f "$sdk/CMakeLists.txt" ] && [ -d "$sdk/vstgui4" ] || { log "VST3_SDK_DIR=$sdk is not a VST3 SDK tree"; exit 1; }
    log "using your SDK tree at $sdk (VST3_SDK_DIR)"
    mkdir -p "$sdk/.vastora-patches"
    lock="$sdk/.vastora-patches/setup.lock"
  else
    sdk="$SDK_PREFIX"
    what=ours
    if [ ! -w "$sdk" ] || [ ! -w "$sdk.src" ]; then
      [ -w "$(dirname "$sdk")" ] || { as_root mkdir -p "$sdk" "$sdk.src"; as_root chown "$(id -u):$(id -g)" "$sdk" "$sdk.src"; }
      mkdir -p "$sdk" "$sdk.src"
    fi
    lock="$sdk.src/setup.lock"
  fi
  # Checkouts on one machine share the tree: one setup at a time lays it out and patches it.
  exec 9>>"$lock"
  flock 9
  if [ "$what" = ours ] && [ ! -f "$sdk/.laid-out" ]; then
    download_sources "$sdk.src"
    log "laying the SDK tree out at $sdk"
    lay_out_sdk "$sdk.src" "$sdk"
  fi
  patch_sdk "$sdk" "$repo_root/cmake/patches" "$what"
  build_validator "$sdk"
  echo "$sdk"
}

# Sourced (by the tests), it only defines the functions.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
