# Sourced by the tests written as shell scripts. ctest counts exit 77 as
# skipped (SKIP_RETURN_CODE), so a skip always says why.

skip() {
  echo "SKIPPED: $*"
  exit 77
}

fail() {
  echo "FAILED: $*"
  exit 1
}

# Any other command that fails under set -e says which one it was.
set -E
trap 'echo "FAILED: line $LINENO: $BASH_COMMAND"' ERR
