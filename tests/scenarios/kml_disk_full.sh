# The KML cannot be written (a full device): status 255, the listing whole.

run kml eeprom.hex /dev/full
expect status 255
expect stdout sample.out
says 'kml: /dev/full: No space left on device'
