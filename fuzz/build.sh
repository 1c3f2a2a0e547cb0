#!/usr/bin/env bash
# Builds the libFuzzer harnesses through CMake (MOVRANO_FUZZ=ON: clang,
# ASan and UBSan over every library they use) into fuzz/out/:
#   bash fuzz/build.sh              every harness
#   bash fuzz/build.sh soap_xml     some of soap_xml, xml_differential,
#                                   zip_directory, reg_file, large_inputs
# large_inputs is a plain optimised program, built without the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
CXX=${CXX:-clang++-14}
CC=${CC:-clang-14}
out=fuzz/out
mkdir -p "$out"

names=("$@")
[ ${#names[@]} -gt 0 ] || names=(soap_xml xml_differential zip_directory reg_file large_inputs)
fuzzers=()
plain=()
for name in "${names[@]}"; do
  if [ "$name" = large_inputs ]; then plain+=("$name"); else fuzzers+=("$name"); fi
done

# build <folder> <targets...>: configures with the options in $options.
build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_C_COMPILER="$CC" \
    "${options[@]}" >/dev/null
  local targets=()
  for target in "$@"; do targets+=(--target "$target"); done
  cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
  for target in "$@"; do cp -f "$dir/fuzz/$target" "$out/$target"; done
}

if [ ${#fuzzers[@]} -gt 0 ]; then
  options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOVRANO_FUZZ=ON)
  build fuzz/build/fuzz "${fuzzers[@]}"
fi
if [ ${#plain[@]} -gt 0 ]; then
  options=(-DCMAKE_BUILD_TYPE=Release -DMOVRANO_FUZZ=OFF)
  build fuzz/build/plain "${plain[@]}"
fi
