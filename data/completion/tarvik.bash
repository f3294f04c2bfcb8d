# bash completion for tarvik, tarvikctl and tarvik-mousesim
#
# Options, subcommands and the choices of arguments are read from the programs'
# own --help at the level being typed, so the completion follows the programs.
# Known by name: the backends of --hid (with file names after "socket:"),
# folders for --data-dir, the scales of --scale. Otherwise a value or argument
# offers what its help lists ({A,B}, a small range [1 - 8], "NAME is one of:"),
# else file names.

# The help of a program and the subcommands typed so far, as one fact a line:
#   opt NAME              an option without a value
#   val NAME [CHOICE...]  an option that takes a value
#   sub NAME              a subcommand
#   pos INDEX NAME [CHOICE...]  a positional argument, 1-based
#   oneof NAME WORD...    the words a "NAME is one of:" block lists
_tarvik_facts() {
    QT_QPA_PLATFORM=offscreen "$@" --help 2>/dev/null | awk '
        # The choices in a metavariable: {A,B} or a range [0 - 4] of at most 17 values.
        function choices(s,    out, m, n, parts, i, lo, hi) {
            out = ""
            if (match(s, /\{[^}]*\}/)) {
                n = split(substr(s, RSTART + 1, RLENGTH - 2), parts, ",")
                for (i = 1; i <= n; i++) out = out " " parts[i]
            } else if (match(s, /\[-?[0-9]+ - -?[0-9]+\]/)) {
                split(substr(s, RSTART + 1, RLENGTH - 2), parts, " - ")
                lo = parts[1] + 0; hi = parts[2] + 0
                if (hi >= lo && hi - lo <= 16) for (i = lo; i <= hi; i++) out = out " " i
            }
            return out
        }
        /^[^ ]/ { section = ""; oneof = "" }
        /^$/ { section = ""; oneof = ""; next }
        /^Subcommands:$/ { section = "sub"; next }
        /^Positionals:$/ { section = "pos"; next }
        /^Arguments:$/ { section = "pos"; next }
        /^[A-Z][A-Z_]* is one of:$/ { oneof = $1; next }
        oneof != "" && /^  [^ ]/ {
            line = substr($0, 3); sub(/  .*/, "", line)
            if (line ~ / \| /) { gsub(/ \| /, " ", line); print "oneof", oneof, line }
            else { split(line, w, " "); print "oneof", oneof, w[1] }
            next
        }
        /^ +-/ {
            s = $0; sub(/^ +/, "", s); names = ""
            while (match(s, /^-[^ ,=]+/)) {
                names = names " " substr(s, 1, RLENGTH); s = substr(s, RLENGTH + 1)
                if (s ~ /^, ?/) sub(/^, ?/, "", s); else break
            }
            meta = s; sub(/  .*/, "", meta)
            kind = "opt"
            if (match(meta, /^[ =](<[^>]*>|[A-Z][A-Z0-9_]*)( |:|$)/)) kind = "val"
            n = split(names, list, " ")
            for (i = 1; i <= n; i++) print kind, list[i] (kind == "val" ? choices(meta) : "")
            next
        }
        section == "sub" && /^  [^ ]/ { print "sub", $1; next }
        section == "pos" && /^  [^ ]/ {
            meta = substr($0, 3); sub(/  .*/, "", meta)
            print "pos", ++positionals, $1 choices(meta); next
        }'
}

_tarvik() {
    local cur prev words cword split
    _init_completion -s -n : || return

    local -a command=("${words[0]/#\~/$HOME}")
    local facts all i word positionals=0 skip=0
    facts=$(_tarvik_facts "${command[@]}")
    all=$facts
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if ((skip)); then
            skip=0
        elif [[ $word == -* ]]; then
            # An option of this level or of one above (given after the subcommand) may take a
            # value as the next word; "--option=value" is one word (_init_completion -s).
            [[ $word != *=* ]] && grep -q "^val $word\( \|$\)" <<<"$all" && skip=1
        elif ((positionals == 0)) && grep -qx "sub $word" <<<"$facts"; then
            command+=("$word")
            facts=$(_tarvik_facts "${command[@]}")
            all+=$'\n'$facts
        else
            ((positionals++))
        fi
    done

    # The value of an option.
    if [[ $prev == -* ]] && grep -q "^val $prev\( \|$\)" <<<"$all"; then
        case $prev in
        --hid)
            if [[ $cur == socket:* ]]; then
                local path=${cur#socket:} file
                COMPREPLY=()
                while IFS= read -r file; do
                    [[ -d $file ]] && file+=/
                    COMPREPLY+=("socket:$file")
                done < <(compgen -f -- "$path")
                compopt -o nospace
            else
                COMPREPLY=($(compgen -W "linux sim socket:" -- "$cur"))
                [[ ${COMPREPLY[*]} == socket: ]] && compopt -o nospace
            fi
            __ltrim_colon_completions "$cur"
            ;;
        --data-dir) _filedir -d ;;
        --scale) COMPREPLY=($(compgen -W "1 1.5 2" -- "$cur")) ;;
        *)
            local values
            values=$(grep -m1 "^val $prev\( \|$\)" <<<"$all" | cut -d' ' -f3-)
            if [[ -n $values ]]; then
                COMPREPLY=($(compgen -W "$values" -- "$cur"))
            else
                _filedir
            fi
            ;;
        esac
        return
    fi
    $split && return

    if [[ $cur == -* ]]; then
        # The options of this level and of the levels above, which the programs
        # take after a subcommand as well.
        COMPREPLY=($(compgen -W "$(awk '$1 == "opt" || $1 == "val" { print $2 }' <<<"$all" | sort -u)" -- "$cur"))
        return
    fi

    local subcommands
    subcommands=$(awk '$1 == "sub" { print $2 }' <<<"$facts")
    if [[ -n $subcommands ]] && ((positionals == 0)); then
        COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
        return
    fi

    # The next positional argument: its listed choices, else file names.
    local name values
    name=$(awk -v n=$((positionals + 1)) '$1 == "pos" && $2 == n { print $3 }' <<<"$facts")
    values=$(awk -v n=$((positionals + 1)) -v name="$name" '
        $1 == "pos" && $2 == n { for (i = 4; i <= NF; i++) print $i }
        $1 == "oneof" && $2 == name { for (i = 3; i <= NF; i++) print $i }' <<<"$facts")
    if [[ -n $values ]]; then
        COMPREPLY=($(compgen -W "$values" -- "$cur"))
    else
        _filedir
    fi
} &&
    complete -F _tarvik tarvik tarvikctl tarvik-mousesim
