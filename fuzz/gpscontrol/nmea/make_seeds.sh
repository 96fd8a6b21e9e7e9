#!/usr/bin/env bash
# Writes the seed corpus of fuzz_nmea_stream: a few cycles as a receiver sends
# them, and the recorded streams of the receiver tests (each after the byte
# that picks the chunk size).
set -euo pipefail
here=$(dirname "$0")
out=$here/../../corpus/fuzz_nmea_stream
streams=$here/../../../tests/gpscontrol/nmea/data
mkdir -p "$out"
cycle=$'$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230301,003.1,W*6A\r\n$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n$GPGSV,2,2,08,15,22,228,45,16,05,011,34,17,41,075,48,18,11,327,41*7B\r\n'
printf '\x40%s' "$cycle$cycle" > "$out/two_cycles"
printf '\x07%s' "$cycle" > "$out/small_chunks"
printf '\x10$GPRMC,,V,,,,,,,,,,N*53\r\n$GPGGA,,,,\r\n$GPGSV,3,1,11\r\n' > "$out/short_fields"
for f in ublox_f9_410 phone_dual_talker rtk_8dp mtk_gps_glonass; do
    { printf '\x53'; cat "$streams/$f.nmea"; } > "$out/$f"
done
