# brackenfold: report the current directory (OSC 7) before every prompt,
# for "Open terminal" and "Open directory". Source it from ~/.bashrc.
osc7_cwd() {
    local LC_ALL=C path= c i
    for ((i = 0; i < ${#PWD}; i++)); do
        c=${PWD:i:1}
        case $c in
            [A-Za-z0-9/._~-]) path+=$c ;;
            *) printf -v c '%%%02X' "'$c"; path+=$c ;;
        esac
    done
    printf '\033]7;file://%s%s\033\\' "$HOSTNAME" "$path"
}
PROMPT_COMMAND="osc7_cwd${PROMPT_COMMAND:+;$PROMPT_COMMAND}"
