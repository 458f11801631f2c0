# An HTML page is not overwritten, though a comment in it mentions <kml>.
printf '<!DOCTYPE html>\n<html><!-- <kml> --></html>\n' >page.html
cp page.html before

run kml eeprom.hex page.html
expect status 1
says 'kml: page.html: exists and is not a KML document; refusing to overwrite it'

cmp before page.html
