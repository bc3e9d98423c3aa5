#!/usr/bin/env bash
# Exits 0 when clang++ can link a libFuzzer target on this machine.
command -v clang++ >/dev/null 2>&1 || exit 1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n' >"$dir/t.cpp"
clang++ -fsanitize=fuzzer "$dir/t.cpp" -o "$dir/t" >/dev/null 2>&1
