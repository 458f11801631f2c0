# A raw log whose first bytes are those of a UTF-16 byte order mark is a raw log: its
# count is FF FE, 65,279.
{ printf '\377\376'; tail -c +3 eeprom.hex; } >fffe.bin

run kml fffe.bin
{ echo 'Ilosc pozycji: 65279' | as_written; sed 1d "$G/sample.out"; } >fffe.out
expect stdout ./fffe.out
expect trasa.kml sample.kml
