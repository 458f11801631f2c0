# Records are handled one at a time: the largest log needs no more memory than the
# sample; as a text dump, no more than its image (768 KiB) besides.
needs this-build
big_log big.hex
objcopy -I binary -O ihex big.hex big.ihex

run kml big.hex big.kml >/dev/null

test "$(wc -l <big.kml)" = 65560
peak() { /usr/bin/time -f %M -o "$1.peak" "$KML" "$1" "$1.kml" >/dev/null && cat "$1.peak"; }
sample=$(peak eeprom.hex)
test "$(peak big.hex)" -le $((sample + 256))
test "$(peak big.ihex)" -le $((sample + 2048))
cmp big.kml big.ihex.kml
