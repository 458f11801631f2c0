# Arguments after the second are ignored.

run kml eeprom.hex out.kml extra more
expect status 0
expect stdout sample.out
expect stderr nothing

expect out.kml sample.kml
test ! -e extra
