#!/usr/bin/env bash
# Windows belong to ui/ folders and the program shell (src/app): fails when a source file
# elsewhere includes a Qt Widgets header, or a CMakeLists.txt elsewhere links Qt6::Widgets.
# Tests of windows (tests/) and benchmarks of the program (bench/app) are exempt.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# The Qt Widgets headers by name, from the installed module (QWidget, QDialog, ...).
qt_include="$(pkg-config --variable=includedir Qt6Widgets 2>/dev/null || true)"
widgets_dir=""
for d in "$qt_include/QtWidgets" /usr/include/x86_64-linux-gnu/qt6/QtWidgets /usr/include/qt6/QtWidgets; do
  [[ -d "$d" ]] && { widgets_dir="$d"; break; }
done
if [[ -z "$widgets_dir" ]]; then
  echo "check-widgets: the QtWidgets headers are not installed" >&2
  exit 2
fi

outside_ui() { grep -vE '(^|/)(ui|app)/'; }

failed=0
while IFS= read -r file; do
  while IFS=: read -r line header; do
    name="${header#QtWidgets/}"
    if [[ "$header" == QtWidgets/* || -e "$widgets_dir/$name" ]]; then
      echo "$file:$line: includes <$header> outside ui/ and app/" >&2
      failed=1
    fi
  done < <(grep -noE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z/]+(\.h)?>' "$file" |
             sed -E 's/^([0-9]+):.*<([^>]+)>.*/\1:\2/')
done < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'bench/*.cpp' 'bench/*.h' | outside_ui)

while IFS= read -r file; do
  if grep -nE 'Qt6::Widgets|COMPONENTS[^)]*Widgets' "$file" >&2; then
    echo "$file: links Qt Widgets outside ui/ and app/" >&2
    failed=1
  fi
done < <(git ls-files -- 'src/*CMakeLists.txt' | outside_ui)

if ((failed)); then
  exit 1
fi
echo "widgets: no Qt Widgets header or library outside ui/ and app/"
