#!/bin/sh
# Checks a built DLL: its exports must be exactly the names and ordinals of the .def
# file, and it may import system DLLs only. For QorvCryptManage.dll (the .def's LIBRARY)
# every export released so far must be among them at its ordinal: hosts bind them by
# ordinal, and the SDK's import libraries are made from the .def.
# usage: check-dll.sh OBJDUMP DLL DEF_FILE
set -u
objdump=$1
dll=$2
def=$3
dump=$("$objdump" -p "$dll") || { echo "check-dll: cannot read $dll"; exit 1; }

# "Name@16 @6" -> "6 Name", sorted by ordinal.
expected=$(sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\)\(@[0-9]*\)\{0,1\}[[:space:]]*@\([0-9][0-9]*\).*/\3 \1/p' "$def" | sort -n)

base=$(printf '%s\n' "$dump" | sed -n 's/.*Ordinal Base \([0-9][0-9]*\).*/\1/p' | head -n 1)
actual=$(printf '%s\n' "$dump" | awk -v base="${base:-1}" '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^[[:space:]]*$/ { inside = 0 }
  inside { gsub(/[][]/, " "); print $1 + base, $2 }' | sort -n)

# The first version's eleven, their Ex twins, QorvFreeText, QorvGetVersion.
released="1 SetCryptParams
2 ValidateCert
3 ChangeCAPassword
4 GetCertFile
5 SetCaFile
6 GetCryptList
7 GetCryptInfo
8 CreateCAFile
9 SetRevenueCAFile
10 Decrypt
11 Encrypt
12 SetCryptParamsEx
13 ValidateCertEx
14 ChangeCAPasswordEx
15 GetCertFileEx
16 SetCaFileEx
17 GetCryptListEx
18 GetCryptInfoEx
19 CreateCAFileEx
20 SetRevenueCAFileEx
21 DecryptEx
22 EncryptEx
23 QorvFreeText
24 QorvGetVersion"

status=0
moved=
if grep -qi '^[[:space:]]*LIBRARY[[:space:]][[:space:]]*QorvCryptManage\.dll' "$def"; then
  moved=$(printf '%s\n' "$released" | while IFS= read -r export; do
    printf '%s\n' "$expected" | grep -qx "$export" || printf '%s\n' "$export"
  done)
fi
if [ -n "$moved" ]; then
  echo "check-dll: $def no longer has the released exports at their ordinals:"
  printf '%s\n' "$moved"
  status=1
fi
if [ "$expected" != "$actual" ]; then
  echo "check-dll: exports differ from $def"
  echo "expected (ordinal name):"; printf '%s\n' "$expected"
  echo "actual:"; printf '%s\n' "$actual"
  status=1
fi

allowed="kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll advapi32.dll bcrypt.dll"
for import in $(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: \(.*\)$/\1/p' | tr 'A-Z' 'a-z'); do
  case " $allowed " in
    *" $import "*) ;;
    *) echo "check-dll: imports a DLL that is not a system DLL: $import"; status=1 ;;
  esac
done

[ $status -eq 0 ] && printf 'check-dll: %s exports %s function(s) at their ordinals and imports system DLLs only\n' \
  "$(basename "$dll")" "$(printf '%s\n' "$expected" | grep -c .)"
exit $status
