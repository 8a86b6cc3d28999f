#!/usr/bin/env bash
# Setup waits for a package lock that another package manager holds, and says so; a lock that is
# never let go ends the wait with apt's own error. apt-get is a stand-in that finds the lock held
# for its first calls.
#
#   PackageLockTest.sh <repo root>
set -uo pipefail
repo_root="$1"
work=$(mktemp -d "${TMPDIR:-/tmp}/package-lock-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
export VST3_SDK_DIR="$work/no-tree" VST3_SDK_PREFIX="$work/no-prefix"
# shellcheck source=SCRIPTDIR/../../scripts/setup.sh
source "$repo_root/scripts/setup.sh"
set +e

mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
n=$(( $(cat "$WORK/calls" 2>/dev/null || echo 0) + 1 ))
echo $n >"$WORK/calls"
if [ $n -le "$HELD_FOR" ]; then
  echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (unattended-upgr)" >&2
  exit 100
fi
echo "$*" >>"$WORK/ran"
STANDIN
chmod +x "$work/bin/apt-get"
export PATH="$work/bin:$PATH" WORK="$work" VASTORA_APT_LOCK_POLL=0.1
as_root() { "$@"; }
packages=(vastora-test-package-that-is-not-installed)

failures=0
fail() { echo "FAILED: $1" >&2; failures=$((failures + 1)); }

export HELD_FOR=3
install_packages 2>"$work/log" || fail "setup gave up while the lock was held"
grep -q "waiting for the package lock.*held by process 4242 (unattended-upgr)" "$work/log" ||
  fail "setup did not say that it waits, and for whom"
grep -q "^-o DPkg::Lock::Timeout=0.1 update" "$work/ran" && grep -q "install .*vastora-test-package" "$work/ran" ||
  fail "the package lists were not updated and the packages not installed once the lock was free"

rm -f "$work/calls" "$work/ran"
export HELD_FOR=1000 VASTORA_APT_LOCK_WAIT=1
install_packages 2>"$work/log" && fail "a lock held for good did not end in failure"
grep -q "^E: Could not get lock" "$work/log" || fail "apt's error was not shown at the end of the wait"
[ -e "$work/ran" ] && fail "apt ran while the lock was held"

[ $failures -eq 0 ] && echo "package lock: all checks passed"
exit $failures
