#!/usr/bin/env bash
# Writes the man page of one program from its --help, with help2man.
#
#   manpage.sh PROGRAM SUMMARY VERSION INCLUDE OUT.1.gz
#
# PROGRAM is the built executable; it runs under its own name, so the page shows
# "tarvikctl", not the build path. INCLUDE holds the hand-written sections. A
# program with subcommands also gets a COMMANDS section: the --help of every
# subcommand, at every depth.
set -euo pipefail
program=$1 summary=$2 version=$3 include=$4 out=$5
name=$(basename "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The window's --help needs no screen; in a sanitizer build, leaks at exit are the
# tests' business, not a reason to fail writing a page.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

# Runs the program as "$name" (argv[0]) with the given arguments.
run() { (exec -a "$name" "$program" "$@"); }

# The names listed under "Subcommands:" in a help text.
subcommands() { awk '/^Subcommands:$/ { on = 1; next } /^$/ { on = 0 } on { print $1 }'; }

# The help text of a subcommand as roff in its own line breaks: without the -h
# line (and an "Options:" heading left empty by it), one blank line at most between
# paragraphs and none at the end,
# with backslashes, minus signs and leading dots escaped.
verbatim() {
    awk '/^ *-h,--help / { next }
         /^$/ { held = 0; blank = 1; next }
         /^Options:$/ { held = 1; next }
         { if (blank) print ""; blank = 0 }
         held { print "Options:"; held = 0 }
         { print }' |
        sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^[.']/\\\\\\&&/"
}

# One subsection per subcommand, at every depth.
describe() {
    local sub
    for sub in $(run "$@" --help | subcommands); do
        printf '.SS "%s"\n.nf\n' "$(echo "$name" "$@" "$sub")"
        run "$@" "$sub" --help | verbatim
        printf '.fi\n'
        describe "$@" "$sub"
    done
}

includes=()
if [ -n "$(run --help | subcommands)" ]; then
    {
        echo '[COMMANDS]'
        describe
    } >"$work/commands.h2m"
    includes+=(--include="$work/commands.h2m")
fi
includes+=(--include="$include")

ln -s "$(cd "$(dirname "$program")" && pwd)/$name" "$work/$name"
PATH="$work:$PATH" help2man --no-info --no-discard-stderr --version-string="$version" \
    --name="$summary" "${includes[@]}" --output="$work/$name.1" "$name"
gzip -9n <"$work/$name.1" >"$out"
