#!/usr/bin/env bash
# Runs one harness over its seeds and the corpus it grows:
#   bash fuzz/run.sh soap_xml [seconds] [more libFuzzer options]
set -euo pipefail
cd "$(dirname "$0")"
name=$1
seconds=${2:-600}
shift $(($# < 2 ? $# : 2))
[ -d "seeds/$name" ] || python3 make_seeds.py
mkdir -p "corpus/$name" "artifacts/$name"
dict=()
case $name in
  soap_xml | xml_differential) dict=(-dict=xml.dict) ;;
  reg_file) dict=(-dict=reg.dict) ;;
esac
exec "out/$name" "corpus/$name" "seeds/$name" "${dict[@]}" -max_total_time="$seconds" \
  -rss_limit_mb=2048 -timeout=10 -max_len=8192 -print_final_stats=1 \
  -artifact_prefix="artifacts/$name/" "$@"
