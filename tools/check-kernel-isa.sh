#!/usr/bin/env bash
# Fails when a library holds AVX or AVX-512 instructions outside the kernel variants chosen at run time
# (functions whose names hold avx2 or avx512, in any case): code that a CPU without them would stop on with SIGILL.
set -euo pipefail
library="$1"
offenders="$(objdump -d --no-show-raw-insn "$library" | awk '
    /^[0-9a-f]+ <.*>:$/ { name = $2; next }
    ($2 ~ /^v/ || /%[yz]mm|%k[0-7]/) && tolower(name) !~ /avx(2|512)/ && !(name in seen) { seen[name] = 1; print name }
' | c++filt)"
if [ -n "$offenders" ]; then
    echo "check-kernel-isa: AVX instructions outside the run-time kernel variants in $library:" >&2
    echo "$offenders" | head -20 >&2
    exit 1
fi
echo "check-kernel-isa: $library runs on plain x86-64 outside its run-time kernel variants"
