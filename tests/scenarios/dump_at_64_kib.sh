# A dump whose records begin at 64 KiB: the log's bytes are in no record and read as
# erased, so the count is 65535 and the end marker comes at once.
objcopy -I binary -O ihex --change-addresses 0x10000 eeprom.hex dump.hex

run kml dump.hex
expect stdout marker_first.out
says 'kml: dump.hex: bytes 0x0000 to 0xFFFF are in no record; read as erased (FF)'

expect trasa.kml marker_first.kml
