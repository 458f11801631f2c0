# A record line deleted by mistake: its 16 bytes read as erased (FF), with a word; the
# conversion is that of the raw log with those bytes erased.
sample_dump ihex
sed -i 3d dump.hex

run kml dump.hex
says 'kml: dump.hex: bytes 0x0020 to 0x002F are in no record; read as erased (FF)' \
  'kml: dump.hex: 1 position(s) left out of the route, coordinates not finite (first at POS 2)'

{ head -c 32 eeprom.hex; printf '\377%.0s' {1..16}; tail -c +49 eeprom.hex; } >raw.hex
kml raw.hex raw.kml >raw.out 2>raw.err
cmp raw.kml trasa.kml
expect stdout ./raw.out
