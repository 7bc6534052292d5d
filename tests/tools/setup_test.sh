#!/usr/bin/env bash
# tools/setup against a package mirror caught mid-sync, with stand-ins for
# apt-get, dpkg and dpkg-query on PATH: no network, nothing really installed.
set -euo pipefail
setup=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tools/setup
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
failures=0

# The installed set is a file of names; the stand-ins read and write it.
cat > "$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
grep -qx "${@: -1}" "$STATE/installed" 2>/dev/null && printf 'install ok installed' || exit 1
SH
cat > "$work/bin/dpkg" <<'SH'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && { echo i386; exit 0; }
exit 0
SH
# update always fails; a plain install cannot resolve; an install from the
# release works unless STAND_IN_REFUSE_ALL is set.
cat > "$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" >> "$STATE/calls"
case " $* " in
  *" update "*) echo "E: Some index files failed to download." >&2; exit 100 ;;
esac
target=
pkgs=()
while [ $# -gt 0 ]; do
  case $1 in
    -t) target=$2; shift 2 ;;
    -*|install) shift ;;
    *) pkgs+=("$1"); shift ;;
  esac
done
if [ -z "$target" ] || [ -n "${STAND_IN_REFUSE_ALL:-}" ]; then
  echo "E: Unable to correct problems, you have held broken packages." >&2
  exit 100
fi
printf '%s\n' "${pkgs[@]}" >> "$STATE/installed"
SH
printf '#!/usr/bin/env bash\nexec "$@"\n' > "$work/bin/sudo"
printf '#!/usr/bin/env bash\nexit 0\n' > "$work/bin/sleep"
chmod +x "$work/bin/"*

run_setup() {  # state-dir: runs setup with the stand-ins, output in state-dir/out
  STATE=$1 PATH="$work/bin:$PATH" PELMORA_SETUP_RETRIES=3 PELMORA_SETUP_PAUSE=0 \
    "$setup" > "$1/out" 2>&1
}
check() {  # description condition...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# A mirror mid-sync: every update fails, the plain install is refused.
mkdir "$work/sync"
echo cmake > "$work/sync/installed"
status=0; run_setup "$work/sync" || status=$?
check "setup ends installed when the mirror is mid-sync" [ $status -eq 0 ]
check "the index update is tried three times" [ "$(grep -c ' update' "$work/sync/calls")" -eq 3 ]
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
check "the second install names the release" grep -q -- "-t $codename" "$work/sync/calls"
check "only missing packages are asked for" bash -c "! grep -qw cmake <(grep install '$work/sync/calls')"
check "wine32:i386 is installed" grep -qx 'wine32:i386' "$work/sync/installed"
status=0; run_setup "$work/sync" || status=$?
check "a second run finds everything present" grep -q "all packages present" "$work/sync/out"

# Nothing works: one clear line saying what to do, and a failure exit.
mkdir "$work/dead"
status=0; STAND_IN_REFUSE_ALL=1 run_setup "$work/dead" || status=$?
check "setup fails when nothing can be installed" [ $status -ne 0 ]
check "the failure says what to do" grep -q "^setup: could not install .*run tools/setup again" "$work/dead/out"

echo "$(( 8 - failures )) passed, $failures failed"
[ $failures -eq 0 ]
