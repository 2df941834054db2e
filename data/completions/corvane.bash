# bash completion for corvane                                    -*- shell-script -*-
#
# Completes the commands, their options and file names: .htm and .html pages (and folders to reach
# them) for inputs, web archives (.warc, .warc.gz) too for convert, folders for convert -o, .xls files
# for convert -a, .png and .pdf files for render -o, skins for --skin.
# Needs nothing from the bash-completion package.

# Adds to COMPREPLY the names starting with $cur that match any of the globs, and the folders.
_corvane_files() {
    local IFS=$'\n' glob
    compopt -o filenames 2>/dev/null
    for glob in "$@"; do
        COMPREPLY+=($(compgen -f -X "!$glob" -- "$cur"))
    done
    COMPREPLY+=($(compgen -d -- "$cur"))
}

_corvane_folders() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY+=($(compgen -d -- "$cur"))
}

_corvane_options() {
    COMPREPLY+=($(compgen -W "$*" -- "$cur"))
}

_corvane() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]} i
    COMPREPLY=()
    # "--output-dir=DIR": bash splits the word at "=", and the option is the word before it.
    [[ $prev == = ]] && prev=${COMP_WORDS[COMP_CWORD - 2]}

    if ((COMP_CWORD == 1)); then
        if [[ $cur == -* ]]; then
            _corvane_options -h --help --version --skin
        else
            _corvane_options convert render view
            _corvane_files '*.htm' '*.html'
        fi
        return
    fi

    # After "--" every argument is a file, for every command and the window.
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            if [[ $command == convert ]]; then
                _corvane_files '*.htm' '*.html' '*.warc' '*.warc.gz'
            else
                _corvane_files '*.htm' '*.html'
            fi
            return
        fi
    done

    case $command in
    convert)
        case $prev in
        -o | --output-dir) _corvane_folders ;;
        -a | --append)
            _corvane_files '*.xls' '*.csv' '*.jsonl'
            [[ -z $cur ]] && COMPREPLY+=(-)
            ;;
        --tables) _corvane_options all ;;
        --byte-range | --threads) ;;
        --format) _corvane_options xls xlsx csv jsonl ;;
        --numbers) _corvane_options exact locale ;;
        *)
            if [[ $cur == -* ]]; then
                _corvane_options -o --output-dir -a --append --format --links --numbers --trim --tables --byte-range --threads -q --quiet -h --help
            else
                _corvane_files '*.htm' '*.html' '*.warc' '*.warc.gz'
            fi
            ;;
        esac
        ;;
    render)
        case $prev in
        -o | --output) _corvane_files '*.png' '*.pdf' ;;
        --width | --max-height | --max-pages | --table) ;;
        --page-size) _corvane_options A4 Letter Legal A3 A5 ;;
        *)
            if [[ $cur == -* ]]; then
                _corvane_options -o --output --width --max-height --table --page-size --max-pages -h --help
            else
                _corvane_files '*.htm' '*.html'
            fi
            ;;
        esac
        ;;
    view)
        if [[ $prev == --skin ]]; then
            _corvane_options desktop light dark
            _corvane_files '*.qss'
        elif [[ $cur == -* ]]; then
            _corvane_options --skin -h --help
        else
            _corvane_files '*.htm' '*.html'
        fi
        ;;
    *)
        # The window: more pages for its input list, and its look.
        if [[ $prev == --skin ]]; then
            _corvane_options desktop light dark
            _corvane_files '*.qss'
        elif [[ $cur == -* ]]; then
            _corvane_options --skin
        else
            _corvane_files '*.htm' '*.html'
        fi
        ;;
    esac
    return 0
}

complete -F _corvane corvane
