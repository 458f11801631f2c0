# S-records saved as UTF-16, big-endian, with its byte order mark, with CR LF line ends
# (what a Windows editor saves as "Unicode"): converts as the sample does.
sample_dump srec
{ printf '\376\377'; sed 's/$/\r/' dump.hex | iconv -f ASCII -t UTF-16BE; } >d
mv d dump.hex

run kml dump.hex
expect stdout sample.out
expect trasa.kml sample.kml
