# GDAL, which many GIS tools build on, reads one route "Trasa GPS" through the listed
# positions (to five decimals), in order; and the empty route too.
needs gdal

run kml
expect stdout sample.out
expect trasa.kml sample.kml

"$OGRINFO" -ro -al trasa.kml >gdal
"$OGRINFO" -ro -al "$G/empty.kml" >/dev/null
grep -qx 'Feature Count: 1' gdal
grep -qx '  Name (String) = Trasa GPS' gdal
# The listing's second line of each record holds latitude ($6) and longitude ($8).
awk 'FNR == NR { if (FNR % 2 == 1 && FNR > 1) { lon[++n] = $8; lat[n] = $6 } next }
     /LINESTRING/ {
       gsub(/[^-0-9., ]/, ""); m = split($0, p, ","); ok = m == n && n == 42
       for (k = 1; k <= m; k++) {
         split(p[k], c, " "); d = c[1] - lon[k]; e = c[2] - lat[k]
         ok = ok && d * d < 2.7e-11 && e * e < 2.7e-11
       }
     }
     END { exit !ok }' stdout gdal
