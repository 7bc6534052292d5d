#!/usr/bin/env bash
# tools/build's command line with a stand-in cmake on PATH that logs its
# calls: which builds it configures, and which targets it builds in each.
# tools/pelmora demo builds only its own targets this way.
set -euo pipefail
build=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tools/build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
failures=0

# Configuring writes build.ninja, as the real one would.
cat > "$work/bin/cmake" <<'SH'
#!/usr/bin/env bash
echo "cmake $*" >> "$CALLS"
if [ "$1" = -S ]; then mkdir -p "$4" && touch "$4/build.ninja"; fi
SH
chmod +x "$work/bin/cmake"

run_build() {  # name args...: runs tools/build, its calls in $work/name.calls
  local name=$1; shift
  CALLS=$work/$name.calls PATH="$work/bin:$PATH" PELMORA_BUILD_ROOT=$work/$name PELMORA_JOBS=3 \
    "$build" "$@" > "$work/$name.out" 2>&1
}
check() {  # description condition...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

run_build all
check "both builds are configured by default" [ "$(grep -c -- '-G Ninja' "$work/all.calls")" -eq 2 ]
check "and built whole" grep -qx "cmake --build $work/all/win32 -j 3" "$work/all.calls"

run_build some native wowgen wowmeter win32 Pelmora pelmora-host
check "targets go to the build named before them" \
  grep -qx "cmake --build $work/some/native -j 3 --target wowgen wowmeter" "$work/some.calls"
check "each build its own" grep -qx "cmake --build $work/some/win32 -j 3 --target Pelmora pelmora-host" "$work/some.calls"
run_build some native
check "a configured build is not configured again" [ "$(grep -c -- '-G Ninja' "$work/some.calls")" -eq 2 ]
check "and a build named alone is built whole" grep -qx "cmake --build $work/some/native -j 3" "$work/some.calls"

status=0; run_build bad wowgen native || status=$?
check "a target before any build is refused" [ $status -eq 2 ]
check "before anything runs" [ ! -e "$work/bad.calls" ]

echo "$(( 8 - failures )) passed, $failures failed"
[ $failures -eq 0 ]
