#!/usr/bin/env bash
# Fails when a C++ file of the repository differs from what clang-format makes of it
# (.clang-format at the top). Prints the offending places; `clang-format -i FILE` fixes them.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
CLANG_FORMAT="${CLANG_FORMAT:-clang-format}"
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
"$CLANG_FORMAT" --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files as clang-format writes them"
