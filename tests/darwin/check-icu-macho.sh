#!/usr/bin/env bash
# ICU's data read back out of a Mach-O data library as Homebrew's icu4c builds one (genccode's
# Darwin assembly, assembled for arm64 macOS), by the same ExtractICUData.cmake the Mac build
# runs: the bytes must be the package's own.
# Usage: check-icu-macho.sh SOURCE_DIR ICU_DAT_FILE GENCCODE
set -euo pipefail
source_dir=$1 dat=$2 genccode=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=$(basename "$dat" .dat)   # icudtNNl
cp "$dat" "$work/$name.dat"
cd "$work"
"$genccode" -a gcc-darwin -e "${name%l}" -d . "$name.dat" >/dev/null
/usr/bin/clang --target=arm64-apple-macos26.0 -c "${name}_dat.S" -o "${name}_dat.o"
ar qc libicudata.a "${name}_dat.o"
mkdir objects && (cd objects && ar x ../libicudata.a)
cmake -DMACHO=ON -DOBJECTS=objects -DOUT=out/$name.dat -P "$source_dir/cmake/ExtractICUData.cmake"
cmp "$name.dat" "out/$name.dat"
echo "ok: $(stat -c %s "out/$name.dat") bytes of $name.dat read back out of a Mach-O object"

# A Mach-O object without the package, and an object that is no Mach-O, are refused.
printf '\t.const\n_x:\n\t.long 0x12345678\n' >other.S
mkdir other elf
/usr/bin/clang --target=arm64-apple-macos26.0 -c other.S -o other/other.o && cp "${name}_dat.o" elf/ && printf '\177ELF' | dd of="elf/${name}_dat.o" conv=notrunc status=none
for bad in other elf; do
  if cmake -DMACHO=ON -DOBJECTS=$bad -DOUT=out/$bad.dat -P "$source_dir/cmake/ExtractICUData.cmake" 2>"$bad.err"; then
    echo "FAIL: $bad was taken for ICU's data" >&2
    exit 1
  fi
  grep -q "ICU\|Mach-O" "$bad.err" || { cat "$bad.err" >&2; exit 1; }
done
echo "ok: an object without ICU's data and one that is no Mach-O are refused"
