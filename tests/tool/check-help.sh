#!/bin/sh
# Every command that qorvcrypt --help lists shows an example of itself with --help, and
# the same with "help COMMAND". usage: check-help.sh QORVCRYPT
set -u
tool=$1
commands=$("$tool" --help | sed -n '/^Commands:/,$s/^  \([a-z][a-z-]*\).*/\1/p' | grep -v '^help$')
[ "$(printf '%s\n' "$commands" | grep -c .)" -ge 11 ] || { echo "check-help: too few commands listed: $commands"; exit 1; }
status=0
for command in $commands; do
  help=$("$tool" "$command" --help) || { echo "check-help: $command --help failed"; status=1; continue; }
  example=$(printf '%s\n' "$help" | sed -n '/^Example:/,$p')
  case $example in
    *"qorvcrypt $command "*) ;;
    *) echo "check-help: $command --help shows no example of it:"; printf '%s\n' "$help"; status=1 ;;
  esac
  [ "$("$tool" help "$command")" = "$help" ] || { echo "check-help: help $command differs from $command --help"; status=1; }
done
[ $status -eq 0 ] && echo "check-help: an example for each of $(printf '%s\n' "$commands" | grep -c .) commands"
exit $status
