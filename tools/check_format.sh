#!/usr/bin/env bash
# Checks that every C and C++ source of the project is formatted as the root .clang-format says,
# and names each file that is not. Changes nothing; `clang-format -i FILE...` formats them.
#
#   tools/check_format.sh      exit code 0: all formatted, 1: some are not
#
# Looks at the sources under src/, tests/, bench/ and tools/ that git tracks or would track (so
# build folders and other ignored files stay out), without generated files and fuzz corpora.
# Other versions of clang-format than Debian 12's (14) may format some lines differently.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/setup.sh"
install_missing_packages clang-format
cd "$root"

list_sources() {
    if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        git ls-files -z --cached --others --exclude-standard -- \
            'src/*.cpp' 'src/*.h' 'src/*.c' 'tests/*.cpp' 'tests/*.h' 'tests/*.c' \
            'bench/*.cpp' 'bench/*.h' 'bench/*.c' 'tools/*.cpp' 'tools/*.h' 'tools/*.c'
    else  # an unpacked source archive
        find src tests bench tools -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0
    fi
}

checked=0
offending=()
while IFS= read -r -d '' file; do
    case "$file" in
        tests/fuzz/corpus/* | */generated/*) continue ;;
    esac
    [ -f "$file" ] || continue  # deleted but not yet committed
    checked=$((checked + 1))
    clang-format --dry-run -Werror "$file" > /dev/null 2>&1 || offending+=("$file")
done < <(list_sources)

if [ ${#offending[@]} -eq 0 ]; then
    echo "format check: all $checked files formatted"
    exit 0
fi
echo "format check: ${#offending[@]} of $checked files are not formatted as .clang-format says:"
printf '  %s\n' "${offending[@]}"
echo "clang-format --dry-run FILE shows where; clang-format -i FILE... formats them."
exit 1
