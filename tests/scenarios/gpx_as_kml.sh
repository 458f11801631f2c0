# A GPX track named as the KML is not overwritten.
printf '<?xml version="1.0"?>\n<gpx version="1.1"/>\n' >track.gpx
cp track.gpx before

run kml eeprom.hex track.gpx
expect status 1
says 'kml: track.gpx: exists and is not a KML document; refusing to overwrite it'

cmp before track.gpx
