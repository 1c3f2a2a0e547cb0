#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang, ASan and UBSan, from just the
# sources each one needs, into fuzz/out/.
#   bash fuzz/build.sh            every harness
#   bash fuzz/build.sh soap_xml   one of soap_xml, zip_directory, reg_file
# and large_inputs, a plain optimised program that times the readers on
# pathological inputs far larger than the fuzzers try.
set -euo pipefail
cd "$(dirname "$0")/.."
CXX=${CXX:-clang++-14}
out=fuzz/out
mkdir -p "$out"
flags=(-std=c++20 -Wall -Wextra -g -O1 -fno-omit-frame-pointer -Isrc -Ifuzz
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

soap_xml=(fuzz/SoapXmlFuzzer.cpp src/services/soap/XmlReader.cpp
          src/services/soap/XmlEncoding.cpp src/services/soap/Envelope.cpp
          src/services/soap/Serializer.cpp src/services/soap/TypeRegistry.cpp
          src/services/soap/InvokableRegistry.cpp src/services/soap/Registries.cpp
          src/services/soap/XmlWriter.cpp src/services/soap/XSDateTime.cpp
          src/platform/Text.cpp src/platform/Exceptions.cpp)
zip_directory=(fuzz/ZipDirectoryFuzzer.cpp src/catalog/ZipDirectory.cpp
               src/catalog/ZipArchiveReader.cpp src/platform/Text.cpp
               src/platform/Exceptions.cpp src/platform/RegularFile.cpp)
zip_directory_libs=(-lzip -llzma)
reg_file=(fuzz/RegFileFuzzer.cpp src/platform/RegFile.cpp src/platform/Registry.cpp
          src/platform/Text.cpp src/platform/Exceptions.cpp src/platform/Paths.cpp
          src/platform/RegularFile.cpp)

large_inputs=(fuzz/LargeInputs.cpp src/services/soap/XmlReader.cpp
              src/services/soap/XmlEncoding.cpp src/services/soap/XmlWriter.cpp
              src/platform/RegFile.cpp src/platform/Registry.cpp src/platform/Paths.cpp
              src/platform/RegularFile.cpp src/platform/Text.cpp src/platform/Exceptions.cpp)

build() {
  local name=$1 sources libs
  sources="${name}[@]"
  libs="${name}_libs[@]"
  local options=("${flags[@]}")
  [ "$name" != large_inputs ] || options=(-std=c++20 -O2 -Isrc)
  echo "building $out/$name"
  "$CXX" "${options[@]}" "${!sources}" ${!libs+"${!libs}"} -o "$out/$name"
}

names=("$@")
[ ${#names[@]} -gt 0 ] || names=(soap_xml zip_directory reg_file large_inputs)
pids=()
for name in "${names[@]}"; do
  build "$name" &
  pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
exit $failed
