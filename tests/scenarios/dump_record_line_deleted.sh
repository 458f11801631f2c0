# A record line deleted by mistake: its 16 bytes read as erased (FF), with a word; the
# conversion is that of the raw log with those bytes erased.
sample_dump ihex
sed -i 3d dump.hex

run kml dump.hex
expect status 0

{ head -c 32 eeprom.hex; printf '\377%.0s' {1..16}; tail -c +49 eeprom.hex; } >raw.hex
kml raw.hex raw.kml >raw.out 2>raw.err
cmp raw.kml trasa.kml
cmp raw.out stdout
{ echo 'kml: dump.hex: bytes 0x0020 to 0x002F are in no record; read as erased (FF)' | as_written
  sed 's/raw.hex/dump.hex/' raw.err; } | cmp - stderr
