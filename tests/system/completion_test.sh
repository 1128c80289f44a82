#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Drives the bash completion of kestavo-cli as bash would, against catalogs made for the test.
# Usage: completion_test.sh COMPLETION_SCRIPT KESTAVO_CLI
set -u
script=$1 cli=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

mkdir -p "$scratch/disk/Docs/Old" "$scratch/disk/two words" "$scratch/catalogs"
echo text >"$scratch/disk/Docs/readme.txt"
echo text >"$scratch/disk/top.txt"
export Kestavo=$scratch/catalogs
export KESTAVO_DRIVES="E:|removable|WORK|$scratch/disk;F:|cdrom|EMPTY|$scratch/missing"
"$cli" catalog "$scratch/disk" --label BACKUP >/dev/null || exit 1
"$cli" catalog "$scratch/disk" --label "MY DISK" >/dev/null || exit 1
mkdir -p "$scratch/odd/*star" "$scratch/odd/[b]" "$scratch/odd/~t" "$scratch/odd/!bang" "$scratch/odd/'q"
echo text >"$scratch/odd/*file"
"$cli" catalog "$scratch/odd" --label "*ODD" >/dev/null || exit 1

# shellcheck source=/dev/null
source "$script"

# Splits a command line into words as bash does for completion: at blanks (a backslash keeps
# the next character) and around each ":".
split_line() {
    COMP_WORDS=()
    local i c word="" started=0
    for ((i = 0; i < ${#1}; i++)); do
        c=${1:i:1}
        if [[ $c == "\\" ]]; then
            word+=$c${1:i+1:1}; started=1; ((i++))
        elif [[ $c == " " ]]; then
            ((started)) && COMP_WORDS+=("$word"); word=""; started=0
        elif [[ $c == ":" ]]; then
            ((started)) && COMP_WORDS+=("$word"); COMP_WORDS+=(":"); word=""; started=0
        else
            word+=$c; started=1
        fi
    done
    ((started)) || [[ $1 == *" " ]] && COMP_WORDS+=("$word")
}

# expect "COMMAND LINE" "EXPECTED REPLIES": completes the last word of the line.
expect() {
    local line=${1/#kestavo-cli/$cli} wanted=$2
    split_line "$line"
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kestavo_cli 2>/dev/null
    local got="${COMPREPLY[*]}"
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: '$1' completes to '$got', expected '$wanted'" >&2
        failures=$((failures + 1))
    fi
}

# Commands and options.
expect "kestavo-cli d" "duplicates drives"
expect "kestavo-cli --v" "--version"
expect "kestavo-cli find *.txt --no" "--no-subfolders"
expect "kestavo-cli duplicates --no-" "--no-names --no-sizes --no-dates"
expect "kestavo-cli ls --unit " "byte KB MB"
expect "kestavo-cli frobnicate " ""
# TREEPATHs: disks, then children; a single container gets its "/"; names are quoted.
expect "kestavo-cli ls " "\\*ODD BACKUP MY\\ DISK"
expect "kestavo-cli ls B" "BACKUP/"
# ls lists a container, so only containers are offered; properties takes files too.
expect "kestavo-cli ls BACKUP/" "BACKUP/Docs BACKUP/two\\ words"
expect "kestavo-cli properties BACKUP/" "BACKUP/Docs BACKUP/top.txt BACKUP/two\\ words"
expect "kestavo-cli ls BACKUP/D" "BACKUP/Docs/"
expect "kestavo-cli properties BACKUP/Docs/r" "BACKUP/Docs/readme.txt"
expect "kestavo-cli ls MY\\ D" "MY\\ DISK/"
expect "kestavo-cli find *.txt --root BACKUP/Docs/" "BACKUP/Docs/Old/"
# Names that begin with characters the shell treats specially complete to themselves, quoted
# as the word is: escaped, or written out inside the quote the user opened.
expect "kestavo-cli ls \\*" "\\*ODD/"
expect "kestavo-cli ls '*" "*ODD/"
expect "kestavo-cli ls \"*O" "*ODD/"
expect "kestavo-cli ls \\*ODD/\\*" "\\*ODD/\\*star/"
expect "kestavo-cli properties \\*ODD/\\*" "\\*ODD/\\*file \\*ODD/\\*star"
expect "kestavo-cli ls \\*ODD/[" "\\*ODD/\\[b\\]/"
expect "kestavo-cli ls \\*ODD/~" "\\*ODD/~t/"
expect "kestavo-cli ls \\*ODD/!" "\\*ODD/\\!bang/"
expect "kestavo-cli ls \\*ODD/\\'" "\\*ODD/\\'q/"
expect "kestavo-cli ls \"*ODD/'" "*ODD/'q/"
expect "kestavo-cli ls BACKUP " ""
expect "kestavo-cli ls NOSUCH/" ""
# Drives that hold a medium; bash splits "E:" at the colon.
expect "kestavo-cli compare " "E:"
expect "kestavo-cli catalog E" "E:"
expect "kestavo-cli compare E:" ""
expect "kestavo-cli ls --unit K" "KB"
expect "kestavo-cli catalog E: --" "--label --eject --archives --help"
expect "kestavo-cli catalog E: --archives " "default all zip"

if ((failures)); then
    echo "$failures completion checks failed" >&2
    exit 1
fi
echo "completion: all checks passed"
