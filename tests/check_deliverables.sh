#!/bin/sh
# Checks the ELF class (32/64-bit) and the linkage (static/dynamic) of the six
# deliverables.
bin="$1"
status=0
check() {
    name="$1"; class="$2"; linkage="$3"
    file="$bin/$name"
    if [ ! -x "$file" ]; then echo "FAIL $name: missing"; status=1; return; fi
    got_class=$(readelf -h "$file" | awk '/Class:/ {print $2}')
    if readelf -l "$file" | grep -q "INTERP"; then got_link=dynamic; else got_link=static; fi
    if [ "$got_class" != "$class" ] || [ "$got_link" != "$linkage" ]; then
        echo "FAIL $name: $got_class $got_link, expected $class $linkage"; status=1
    else
        echo "ok   $name: $got_class $got_link"
    fi
}
check vorlix-x64 ELF64 dynamic
check vorlix-x64-popcnt ELF64 dynamic
check vorlix-x64-static ELF64 static
check vorlix-x64-popcnt-static ELF64 static
check vorlix-x86 ELF32 dynamic
check vorlix-x86-static ELF32 static
exit $status
