#!/usr/bin/env bash
# Checks the object file of the AVX2 kernels: it holds no fused multiply-add
# (which would round differently from the plain path), and every symbol it
# defines lies in model::lanes::avx2 or is an instance of a template for
# AVX2 vectors (xsimd::avx2), so that the linker cannot take an inline
# function compiled here, with AVX2 instructions, for one that code for every
# processor calls.
#   check_avx2_object.sh OBJECT
set -euo pipefail
obj=$1
fused=$(objdump -d "$obj" | grep -E -c '\svfn?m(add|sub)' || true)
if [ "$fused" != 0 ]; then
  echo "$obj: $fused fused multiply-add instructions"
  exit 1
fi
foreign=$(nm -C --defined-only "$obj" | awk '$2 ~ /^[A-Z]$/' | grep -v -e ' model::lanes::avx2::' \
  -e 'xsimd::avx2' -e ' DW\.ref\.__gxx_personality_v0$' || true)
if [ -n "$foreign" ]; then
  echo "$obj: symbols outside model::lanes::avx2 that are not AVX2 instances:"
  echo "$foreign"
  exit 1
fi
echo "$obj: no fused multiply-add, only its own symbols"
