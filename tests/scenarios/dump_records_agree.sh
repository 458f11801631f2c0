# Two records that give one address the same byte are fine.
sample_dump ihex
sed -i '3i :0100000032CD' dump.hex

run kml dump.hex
expect stdout sample.out

expect trasa.kml sample.kml
