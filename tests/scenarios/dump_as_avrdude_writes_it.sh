# Intel HEX as avrdude writes it: `// 00000> ...` comments, lower case, CR LF, a blank
# line.
sample_dump ihex
sed 's|$| // 00000> ...|; 5s/$/\n/' dump.hex | tr A-F a-f | sed 's/$/\r/' >dump.i

run kml dump.i
expect stdout sample.out

expect trasa.kml sample.kml
