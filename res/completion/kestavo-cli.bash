# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for kestavo-cli                              -*- shell-script -*-
# Completes the commands, their options, drive letters from `kestavo-cli drives` and the
# TREEPATHs of the catalogs in the catalog directory (`kestavo-cli ls`).

# The words of the command line, with "E" ":" joined back into "E:" where the line has no blank
# between them (":" breaks words in bash).
_kestavo_cli_words() {
    words=()
    cword=0
    local i word rest trimmed gap line=${COMP_LINE-} at=0
    for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do
        word=${COMP_WORDS[i]}
        rest=${line:at}
        trimmed=${rest#"${rest%%[![:space:]]*}"}
        gap=$((${#rest} - ${#trimmed}))
        at=$((at + gap + ${#word}))
        if ((i > 1 && gap == 0)) && [[ $word == :* || ${COMP_WORDS[i - 1]} == *: ]]; then
            words[-1]+=$word
        else
            words+=("$word")
        fi
        ((i == COMP_CWORD)) && cword=$((${#words[@]} - 1))
    done
    cur=${words[cword]}
    prev=${words[cword - 1]}
}

# The word being completed without the shell's quoting: 'MY D and MY\ D both give MY D.
_kestavo_cli_bare() {
    local word=$1
    word=${word#[\'\"]}
    printf '%s' "${word//\\/}"
}

# Offers each line of standard input that begins with the bare current word.
_kestavo_cli_offer() {
    local bare line
    bare=$(_kestavo_cli_bare "$cur")
    while IFS= read -r line; do
        [[ $line == "$bare"* ]] && COMPREPLY+=("$line")
    done
}

# bash puts back only what follows the last ":" of the word, so drop the part before it.
_kestavo_cli_quote() {
    local i colon_prefix=""
    [[ $cur == *:* ]] && colon_prefix=${cur%"${cur##*:}"}
    for i in "${!COMPREPLY[@]}"; do
        local quoted
        quoted=$(printf '%q' "${COMPREPLY[i]}")
        COMPREPLY[i]=${quoted#"$colon_prefix"}
    done
}

_kestavo_cli_drives() {
    _kestavo_cli_offer < <("$1" drives 2>/dev/null | cut -c1-2)
}

_kestavo_cli_treepaths() {
    local program=$1 bare parent="" prefix=""
    bare=$(_kestavo_cli_bare "$cur")
    if [[ $bare == */* ]]; then
        parent=${bare%/*}
        prefix=$parent/
    fi
    # Every row but the heading line begins with a child's name.
    local name
    while IFS=$'\t' read -r name _; do
        [[ $prefix$name == "$bare"* ]] && COMPREPLY+=("$prefix$name")
    done < <("$program" ls "$parent" 2>/dev/null | tail -n +2)
    # A single container is completed with a "/" so that its children come next.
    if ((${#COMPREPLY[@]} == 1)) && "$program" ls "${COMPREPLY[0]}" >/dev/null 2>&1; then
        COMPREPLY[0]+=/
        compopt -o nospace 2>/dev/null
    fi
}

_kestavo_cli() {
    local cur prev words cword
    _kestavo_cli_words
    COMPREPLY=()
    local program=${words[0]}

    if ((cword == 1)); then
        _kestavo_cli_offer < <(compgen -W \
            "ls properties find duplicates compare drives catalog locate eject --help --version" -- "$cur")
        return
    fi

    local options
    case ${words[1]} in
        ls | properties) options="--unit --help" ;;
        find) options="--root --no-subfolders --unit --report --help" ;;
        duplicates) options="--root --no-names --no-sizes --no-dates --threshold --unit --report --help" ;;
        compare) options="--unit --report --help" ;;
        catalog) options="--label --eject --archives --help" ;;
        drives | locate | eject) options="--help" ;;
        *) return ;;
    esac

    case $prev in
        --unit) _kestavo_cli_offer < <(compgen -W "byte KB MB" -- "$cur") ;;
        --archives) _kestavo_cli_offer < <(compgen -W "default all zip" -- "$cur") ;;
        --root) _kestavo_cli_treepaths "$program" ;;
        --report) _kestavo_cli_offer < <(compgen -f -- "$(_kestavo_cli_bare "$cur")") ;;
        --label | --threshold) ;;
        *)
            if [[ $cur == -* ]]; then
                _kestavo_cli_offer < <(compgen -W "$options" -- "$cur")
            else
                _kestavo_cli_argument "$program"
            fi
            ;;
    esac
    _kestavo_cli_quote
}

# The command's own argument: only when no word before it already is one.
_kestavo_cli_argument() {
    local i
    for ((i = 2; i < cword; i++)); do
        case ${words[i]} in
            --root | --report | --unit | --label | --threshold | --archives) ((i++)) ;;
            -*) ;;
            *) return ;;
        esac
    done
    case ${words[1]} in
        ls | properties | locate) _kestavo_cli_treepaths "$1" ;;
        compare) _kestavo_cli_drives "$1" ;;
        catalog)
            if [[ $cur == */* || $cur == .* || $cur == "~"* ]]; then
                _kestavo_cli_offer < <(compgen -d -- "$(_kestavo_cli_bare "$cur")" | sed 's|$|/|')
                compopt -o nospace 2>/dev/null
            else
                _kestavo_cli_drives "$1"
            fi
            ;;
    esac
}

complete -F _kestavo_cli kestavo-cli
