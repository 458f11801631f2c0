# An extended linear address record (type 04) of 0x0001 puts the records that follow
# at 64 KiB: the log's bytes are in no record and read as erased.
sample_dump ihex
sed -i '1i :020000040001F9' dump.hex

run kml dump.hex
expect stdout marker_first.out
says 'kml: dump.hex: bytes 0x0000 to 0xFFFF are in no record; read as erased (FF)'

expect trasa.kml marker_first.kml
