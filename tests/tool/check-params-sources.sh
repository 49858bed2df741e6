#!/bin/sh
# What --params-file and --params - make of the files a request may come from: a link
# is followed, a FIFO read until its writer closes it, and a dangling link, an endless
# device and an endless standard input are refused without reading past the limit.
# usage: check-params-sources.sh QORVCRYPT CONFIG   (CONFIG: a crypto type "plain")
set -u
tool=$1
config=$2
work=$(mktemp -d /tmp/qorv-params.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
# expect LABEL EXIT_STATUS TEXT_IN_OUTPUT COMMAND...   (the output is stdout and stderr)
expect() {
  label=$1 want=$2 text=$3
  shift 3
  "$@" >"$work/out" 2>&1
  got=$?
  if [ "$got" -ne "$want" ] || ! grep -qF -- "$text" "$work/out"; then
    echo "check-params-sources: $label: status $got (wanted $want), output:"
    cat "$work/out"
    status=1
  fi
}
info() { "$tool" info --config "$config" --type plain "$@"; }

printf 'Keep=5\n' >"$work/request.txt"
ln -s "$work/request.txt" "$work/link.txt"
ln -s "$work/missing.txt" "$work/dangling.txt"
mkfifo "$work/fifo"
expect "a link" 0 "Keep = 5" info --params-file "$work/link.txt"
expect "a dangling link" 2 "cannot open $work/dangling.txt" info --params-file "$work/dangling.txt"
(printf 'Keep=' && sleep 1 && printf '6') >"$work/fifo" &
expect "a FIFO written in two steps" 0 "Keep = 6" info --params-file "$work/fifo"
wait
expect "/dev/zero" 2 "longer than" info --params-file /dev/zero
# An endless writer gets SIGPIPE once the tool has stopped reading and quit.
expect "endless standard input" 2 "longer than" sh -c 'yes Keep=7 | "$0" info --config "$1" --type plain --params -' \
  "$tool" "$config"
[ $status -eq 0 ] && echo "check-params-sources: links, FIFOs and endless sources are handled"
exit $status
