# Sourced by the end-to-end scripts: counts checks and ends with the line
# "N passed, N failed", failing when any check failed.
passed=0
failed=0
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "PASS: $what"
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
    fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}
