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

# A reply as it is typed after the current word's opening quote, if any: inside '...' only a
# quote needs writing out ('\''), inside "..." a backslash goes before \ " $ and `; without
# quotes every special character is escaped.
_kestavo_cli_quoted() {
    local name=$1
    case $cur in
        \'*) printf '%s' "${name//\'/\'\\\'\'}" ;;
        \"*)
            name=${name//\\/\\\\}
            name=${name//\"/\\\"}
            name=${name//\$/\\\$}
            printf '%s' "${name//\`/\\\`}"
            ;;
        *) printf '%q' "$name" ;;
    esac
}

# bash puts back only what follows the last ":" of the word, so drop the part before it.
_kestavo_cli_quote() {
    local i colon_prefix=""
    [[ $cur == *:* ]] && colon_prefix=${cur%"${cur##*:}"}
    for i in "${!COMPREPLY[@]}"; do
        local quoted
        quoted=$(_kestavo_cli_quoted "${COMPREPLY[i]}")
        COMPREPLY[i]=${quoted#"$colon_prefix"}
    done
}

_kestavo_cli_drives() {
    _kestavo_cli_offer < <("$1" drives 2>/dev/null | cut -c1-2)
}

# The TREEPATHs below the one being typed; with "containers", only disks, folders and Zip
# Folders (a command that lists or searches one needs a container). The kinds come from the
# JSON Lines listing, whose rows are those of the plain one in the same order.
_kestavo_cli_treepaths() {
    local program=$1 which=${2:-all} bare parent="" prefix=""
    bare=$(_kestavo_cli_bare "$cur")
    if [[ $bare == */* ]]; then
        parent=${bare%/*}
        prefix=$parent/
    fi
    local -a names kinds=()
    # Every row but the heading line begins with a child's name.
    mapfile -t names < <("$program" ls "$parent" 2>/dev/null | tail -n +2 | cut -f1)
    [[ $which == containers ]] &&
        mapfile -t kinds < <("$program" ls "$parent" --format jsonl 2>/dev/null |
            sed 's/.*,"kind":"\([^"]*\)".*/\1/')
    local i
    for i in "${!names[@]}"; do
        [[ $which == containers && ${kinds[i]-file} == file ]] && continue
        [[ $prefix${names[i]} == "$bare"* ]] && COMPREPLY+=("$prefix${names[i]}")
    done
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
        --root) _kestavo_cli_treepaths "$program" containers ;;
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
        ls) _kestavo_cli_treepaths "$1" containers ;;
        properties | locate) _kestavo_cli_treepaths "$1" ;;
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
