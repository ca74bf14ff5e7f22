# brackenfold: report the current directory (OSC 7) before every prompt,
# for "Open terminal" and "Open directory". Source it from ~/.zshrc.
osc7_cwd() {
    emulate -L zsh
    setopt extendedglob
    local LC_ALL=C
    printf '\033]7;file://%s%s\033\\' "$HOST" \
        "${PWD//(#m)[^A-Za-z0-9\/._~-]/%${(l:2::0:)$(([##16]#MATCH))}}"
}
autoload -Uz add-zsh-hook
add-zsh-hook precmd osc7_cwd
