# Sourced by the package tests, which define fail(). check_programs DIR
# OBJDUMP: the programs in a Vexel folder (unpacked or installed) are
# Windows programs without debug sections, and Vexel.exe is below 1 MB.
packaged_programs=(Vexel.exe Tools/phonesim.exe Tools/vexelctl.exe)

check_programs() {
  local dir=$1 objdump=$2 program sections debug size
  for program in "${packaged_programs[@]}"; do
    if [ "$(head -c 2 "$dir/$program" 2>/dev/null)" != MZ ]; then
      fail "$program is missing or no Windows program"
      continue
    fi
    sections=$("$objdump" -h "$dir/$program" | awk '$1 ~ /^[0-9]+$/ {print $2}')
    debug=$(grep -E '^\.z?debug' <<<"$sections" | tr '\n' ' ') || true
    [ -z "$debug" ] || fail "$program carries debug sections: $debug"
  done
  size=$(stat -c %s "$dir/Vexel.exe" 2>/dev/null) || return 0
  ((size < 1024 * 1024)) || fail "Vexel.exe is $size bytes, not below 1 MB"
}
