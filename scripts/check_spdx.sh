#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Every tracked source file names its licence in its first lines.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=0
while IFS= read -r f; do
  if ! head -n 3 "$f" | grep -q 'SPDX-License-Identifier: GPL-2.0-or-later'; then
    echo "no SPDX line: $f"
    missing=1
  fi
done < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.c' '*.sh' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt')
exit $missing
