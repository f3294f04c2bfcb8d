#!/usr/bin/env bash
# The bash completion against the built programs: each row is a command line
# (completed at its end), words the completion must offer, and a word it must not.
#
#   completion_test.sh BIN_DIR COMPLETION_SCRIPT
set -uo pipefail
bin=$1 script=$2
bash_completion=${BASH_COMPLETION_SCRIPT:-/usr/share/bash-completion/bash_completion}
if [ ! -f "$bash_completion" ]; then
    echo "completion_test: $bash_completion missing (Debian package bash-completion)" >&2
    exit 1
fi
# shellcheck disable=SC1090
source "$bash_completion"
# shellcheck disable=SC1090
source "$script"
# Outside an interactive completion compopt has nothing to change.
compopt() { :; }
export PATH="$bin:$PATH"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/folder"
touch "$dir/mouse.sock" "$dir/profile.psf"

# Splits a line as readline does for completion (":" and "=" are words of their
# own), runs the completion function and prints what it offers, one a line.
complete_line() {
    local line=$1
    COMP_LINE=$line
    COMP_POINT=${#line}
    mapfile -t COMP_WORDS < <(grep -oE '[^ :=]+|[:=]+' <<<"$line")
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tarvik "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]:-}"
    printf '%s\n' "${COMPREPLY[@]}"
}

# line | offered (space separated) | not offered
rows=(
    "tarvikctl |init show apply profile descriptor|--trace"
    "tarvikctl ap|apply|assign"
    "tarvikctl --|--data-dir --hid --trace --help|show"
    "tarvikctl --hid |linux sim socket:|show"
    "tarvikctl --hid socket:$dir/mo|$dir/mouse.sock|socket:$dir/mouse.sock"
    "tarvikctl --hid sim sh|show|sim"
    "tarvikctl --data-dir $dir/|$dir/folder|$dir/mouse.sock"
    "tarvikctl --data-dir $dir/folder ma|macro|show"
    "tarvikctl --data-dir=$dir/folder sh|show|$dir/folder"
    "tarvikctl show --|--slot --all --json --raw --data-dir --hid|--path"
    "tarvikctl profile rename --|--data-dir --lock-timeout|--slot"
    "tarvikctl show --slot |0 1 2 3 4|5"
    "tarvikctl show --slot=|0 4|--json"
    "tarvikctl profile |add rename delete select|show"
    "tarvikctl macro export --|--path --all|--json"
    "tarvikctl assign --button |1 6|0"
    "tarvikctl assign --button 4 |left shortcut macro media dpi-cycle|$dir/profile.psf"
    "tarvikctl assign --button 4 shortcut ||left"
    "tarvikctl import --slot 1 $dir/pro|$dir/profile.psf|0"
    "tarvik-mousesim |serve ctl|plug"
    "tarvik-mousesim --socket $dir/mo|$dir/mouse.sock|ctl"
    "tarvik-mousesim ctl |plug unplug press-dpi set-battery set-sensor dump|serve"
    "tarvik-mousesim ctl plug |A B|C"
    "tarvik-mousesim ctl plug A ||B"
    "tarvik-mousesim ctl press-dpi |1 8|9"
    "tarvik-mousesim ctl set-battery 50 --|--charging --full|--json"
)
if [ -x "$bin/tarvik" ]; then
    rows+=(
        "tarvik --|--hid --simulate --scale --screenshot --version|--json"
        "tarvik --scale |1 1.5 2|3"
    )
fi

failures=0
for row in "${rows[@]}"; do
    IFS='|' read -r line offered refused <<<"$row"
    got=$(complete_line "$line")
    for word in $offered; do
        grep -qxF -- "$word" <<<"$got" || {
            echo "FAIL '$line': '$word' not offered; got: $(tr '\n' ' ' <<<"$got")"
            failures=$((failures + 1))
        }
    done
    if [ -n "$refused" ] && grep -qxF -- "$refused" <<<"$got"; then
        echo "FAIL '$line': '$refused' offered"
        failures=$((failures + 1))
    fi
done
echo "completion_test: ${#rows[@]} command lines, $failures failures"
[ "$failures" -eq 0 ]
