#!/usr/bin/env python3
"""Writes the recorded NMEA streams of the receiver tests and what each must give.

Each stream mimics one family of receiver chips, sentence by sentence, and is
written to NAME.nmea; NAME.expected lists, from the values as printed in the
stream:
  fix TIME LAT LON ALT QUALITY USED   a cycle with a fix (TIME: Unix seconds, UTC)
  void TIME                           a cycle without one ("-" when no time)
  satellite SYSTEM NUMBER ELEV AZ SNR USED   the satellites after the last cycle
  inview N                            the satellites-in-view count after it
Run it from this folder after changing a stream; the files are committed.
"""

import calendar
import datetime
from decimal import Decimal, ROUND_HALF_EVEN
from fractions import Fraction

CRLF = "\r\n"


def sentence(body, bad=False, star=True):
    s = 0
    for c in body:
        s ^= ord(c)
    if bad:
        s ^= 0x21
    return "$" + body + ("*%02X" % s if star else "") + CRLF


def angle(deg, digits, decimals, pos, neg):
    """The text of deg as (d)ddmm.mmmm with `decimals` places, and its exact value."""
    a = Fraction(abs(Decimal(repr(deg))))
    d = int(a)
    scale = 10 ** decimals
    m = round((a - d) * 60 * scale)
    if m >= 60 * scale:
        d += 1
        m -= 60 * scale
    text = "%0*d%02d.%0*d" % (digits, d, m // scale, decimals, m % scale)
    value = d + Fraction(m, scale * 60)
    return text, pos if deg >= 0 else neg, float(value) * (1 if deg >= 0 else -1)


class Cycle:
    def __init__(self, when, lat, lon, alt, fix=True, quality=1, used=None, hdop=0.9,
                 speed=0.0, course=0.0, decimals=4):
        self.when = when
        self.fix = fix
        self.quality = quality if fix else 0
        self.hdop = hdop
        self.alt = alt
        self.speed = speed
        self.course = course
        self.used = used
        self.lat_text, self.ns, self.lat = angle(lat, 2, decimals, "N", "S")
        self.lon_text, self.ew, self.lon = angle(lon, 3, decimals, "E", "W")

    def hms(self, frac=2):
        t = self.when
        base = t.strftime("%H%M%S")
        if frac == 0:
            return base
        return base + "." + ("%06d" % t.microsecond)[:frac]

    def date(self):
        return self.when.strftime("%d%m%y")

    def unix(self):
        return calendar.timegm(self.when.utctimetuple()) + self.when.microsecond / 1e6

    def position(self):
        return "%s,%s,%s,%s" % (self.lat_text, self.ns, self.lon_text, self.ew)


def rmc(talker, c, mode=None, nav=None, frac=2, void_blank=True, bad=False):
    if c.fix:
        body = "%sRMC,%s,A,%s,%.3f,%.2f,%s,," % (talker, c.hms(frac), c.position(), c.speed,
                                                c.course, c.date())
    else:
        pos = ",,," if void_blank else c.position()
        body = "%sRMC,%s,V,%s,,,%s,," % (talker, c.hms(frac), pos if not void_blank else ",,,",
                                         c.date())
    if mode is not None:
        body += "," + (mode if c.fix else "N")
    if nav is not None:
        body += "," + nav
    return sentence(body, bad)


def gga(talker, c, frac=2, bad=False):
    if c.fix:
        used = "%02d" % len(c.used) if c.used is not None else "08"
        body = "%sGGA,%s,%s,%d,%s,%.1f,%.1f,M,39.5,M,," % (talker, c.hms(frac), c.position(),
                                                           c.quality, used, c.hdop, c.alt)
    else:
        body = "%sGGA,%s,,,,,0,00,99.99,,,,,," % (talker, c.hms(frac))
    return sentence(body, bad)


def gsa(talker, c, prns, system=None):
    mode = "3" if c.fix else "1"
    fields = ["%02d" % p if p < 100 else str(p) for p in (prns if c.fix else [])][:12]
    fields += [""] * (12 - len(fields))
    body = "%sGSA,A,%s,%s,1.8,%.1f,1.5" % (talker, mode, ",".join(fields),
                                           c.hdop if c.fix else 99.99)
    if system is not None:
        body += ",%X" % system
    return sentence(body)


def gsv(talker, sats, signal=None):
    """sats: (prn, elev, az, snr or None)."""
    out = []
    total = max(1, (len(sats) + 3) // 4)
    for m in range(total):
        body = "%sGSV,%d,%d,%02d" % (talker, total, m + 1, len(sats))
        for prn, el, az, snr in sats[4 * m:4 * m + 4]:
            body += ",%02d,%02d,%03d,%s" % (prn, el, az, "" if snr is None else "%02d" % snr)
        if signal is not None:
            body += ",%X" % signal
        out.append(sentence(body))
    return out


class Stream:
    def __init__(self, name, comment):
        self.name = name
        self.comment = comment
        self.lines = []
        self.fixes = []
        self.satellites = []
        self.inview = 0

    def add(self, *parts):
        for p in parts:
            if isinstance(p, list):
                self.lines.extend(p)
            else:
                self.lines.append(p)

    def expect(self, c, quality=None):
        if c.fix:
            q = c.quality if quality is None else quality
            used = len(c.used) if c.used is not None else 8
            self.fixes.append("fix %.2f %.9f %.9f %.1f %d %d" % (c.unix(), c.lat, c.lon, c.alt, q,
                                                                used))
        else:
            self.fixes.append("void %.2f" % c.unix())

    def write(self):
        with open(self.name + ".nmea", "w", newline="", encoding="latin-1") as f:
            f.write("".join(self.lines))
        with open(self.name + ".expected", "w") as f:
            f.write("# %s\n" % self.comment)
            for line in self.fixes:
                f.write(line + "\n")
            for s in sorted(self.satellites):
                f.write("satellite %s %d %d %d %d %s\n" % s)
            f.write("inview %d\n" % self.inview)


def walk(start, n, lat, lon, step, decimals=4, **kw):
    return [Cycle(start + datetime.timedelta(seconds=step * i), lat + 0.00012 * i,
                  lon + 0.00021 * i, 45.0 + 0.5 * i, decimals=decimals, **kw) for i in range(n)]


def sky(system, rows, used):
    return [(system, number, el, az, snr or 0, "used" if number in used else "-")
            for number, el, az, snr in rows]


GPS = [(2, 64, 250, 45), (5, 12, 40, 33), (12, 44, 300, 41), (13, 30, 80, 38),
       (15, 55, 120, 44), (18, 8, 190, 25), (20, 22, 330, 36), (24, 70, 45, 47),
       (25, 15, 210, None), (29, 38, 160, 40)]


def sirf_gps_2x():
    s = Stream("sirf_gps_2x", "GPS only, NMEA 2.2: GGA, GSA, GSV and RMC last, an SBAS "
               "satellite among the GPS ones, one cycle without a fix first")
    cycles = walk(datetime.datetime(2023, 7, 14, 9, 30, 0), 6, 47.285233, 8.565401, 1)
    cycles[0].fix = False
    cycles[0].quality = 0
    used = [2, 12, 13, 15, 24, 29, 48]
    sats = GPS[:8] + [(48, 33, 200, 39)]
    for c in cycles:
        c.used = used
        s.add(gga("GP", c, frac=3), gsa("GP", c, used), gsv("GP", sats), rmc("GP", c, frac=3))
        s.expect(c)
    s.satellites = sky("GPS", GPS[:8], used) + [("SBAS", 135, 33, 200, 39, "used")]
    s.inview = 9
    return s


GLO = [(65, 40, 60, 42), (66, 20, 110, 35), (72, 75, 300, 46), (73, 10, 250, None),
       (79, 33, 20, 39), (80, 50, 170, 44), (88, 5, 90, 22)]


def ublox_m8_40():
    s = Stream("ublox_m8_40", "GPS and GLONASS, NMEA 4.0: GN positions, one GNGSA per "
               "system without a system ID, one GSV set per talker, a void first cycle")
    cycles = walk(datetime.datetime(2023, 9, 2, 14, 5, 10), 5, 35.681236, 139.767125, 1,
                  decimals=5, speed=1.234, course=87.5)
    cycles[0].fix = False
    gps_used = [2, 12, 15, 24, 29]
    glo_used = [65, 72, 80]
    for c in cycles:
        c.used = gps_used + glo_used
        s.add(rmc("GN", c, mode="A"), sentence("GNVTG,87.50,T,,M,1.234,N,2.285,K,A"),
              gga("GN", c), gsa("GN", c, gps_used), gsa("GN", c, glo_used), gsv("GP", GPS),
              gsv("GL", GLO), sentence("GNGLL,%s,%s,A,A" % (c.position(), c.hms())))
        s.expect(c)
    s.satellites = sky("GPS", GPS, gps_used) + sky("GLONASS", [(n - 64, e, a, r) for n, e, a, r in GLO],
                                                   [n - 64 for n in glo_used])
    s.inview = len(GPS) + len(GLO)
    return s


GAL = [(3, 45, 100, 40), (5, 25, 200, 34), (9, 60, 280, 44), (11, 15, 20, 30),
       (24, 35, 140, 38), (31, 70, 320, 45), (33, 8, 60, None)]
BDS = [(6, 55, 130, 41), (9, 20, 250, 33), (13, 48, 10, 40), (16, 30, 300, 36),
       (19, 66, 80, 45), (22, 12, 170, 28), (26, 40, 220, 39), (37, 5, 350, None)]


def ublox_f9_410():
    s = Stream("ublox_f9_410", "GPS, GLONASS, Galileo and BeiDou, NMEA 4.10: RMC with its "
               "navigation status, GNGSA with system IDs, GSV sets per signal with the signal "
               "ID, an empty QZSS set, more satellites than the 24-entry table")
    cycles = walk(datetime.datetime(2024, 2, 29, 23, 59, 57), 5, -33.856784, 151.215297, 1,
                  decimals=5, speed=0.05, course=0.0)
    gps_used, glo_used, gal_used, bds_used = [2, 12, 15, 24], [1, 8, 16], [3, 9, 31], [6, 13, 19]
    gps = GPS[:9]
    glo = [(n, e, a, r) for n, e, a, r in GLO[:6]]
    for c in cycles:
        c.used = gps_used + glo_used + gal_used + bds_used
        c.quality = 2
        s.add(rmc("GN", c, mode="D", nav="V"), gga("GN", c),
              gsa("GN", c, gps_used, 1), gsa("GN", c, [n + 64 for n in glo_used], 2),
              gsa("GN", c, gal_used, 3), gsa("GN", c, bds_used, 4),
              gsv("GP", gps, 1), gsv("GP", [r for r in gps if r[0] in (2, 5, 24)], 6),
              gsv("GL", glo, 1), gsv("GA", GAL, 7), gsv("GA", GAL[:3], 2),
              gsv("GB", BDS, 1), gsv("GQ", [], 1))
        s.expect(c)
    s.satellites = (sky("GPS", gps, gps_used) +
                    sky("GLONASS", [(n - 64, e, a, r) for n, e, a, r in glo], glo_used) +
                    sky("Galileo", GAL, gal_used) + sky("BeiDou", BDS, bds_used))
    s.inview = len(gps) + len(glo) + len(GAL) + len(BDS)
    return s


def rtk_8dp():
    s = Stream("rtk_8dp", "high precision at 4 Hz: 8 decimal places of minutes, fractional "
               "seconds, RTK float then fixed, GGA before RMC, GST and a maker's sentence")
    cycles = [Cycle(datetime.datetime(2024, 5, 6, 7, 8, 9) + datetime.timedelta(milliseconds=250 * i),
                    52.51627812 + 1.3e-7 * i, 13.37770433 - 2.1e-7 * i, 34.25 + 0.01 * i,
                    decimals=8, quality=5 if i < 3 else 4, hdop=0.5, speed=0.02, course=311.25)
              for i in range(8)]
    for c in cycles:
        c.used = list(range(1, 21))
        s.add(gga("GN", c), rmc("GN", c, mode="F" if c.quality == 5 else "R"),
              sentence("GNGST,%s,0.011,0.008,0.006,42.5,0.007,0.006,0.014" % c.hms()),
              sentence("PSSN,HRP,%s,%s,0.05,-1.20,,0.1,0.2,,1,2,3" % (c.hms(), c.date())))
        s.expect(c)
    s.inview = 0
    return s


def mtk_gps_glonass():
    s = Stream("mtk_gps_glonass", "GPS and GLONASS, MTK style: GN positions, $GPGSA and "
               "$GLGSA, the maker's start-up sentences and text, a fix lost and regained")
    cycles = walk(datetime.datetime(2022, 12, 31, 23, 59, 58), 6, 59.329323, 18.068581, 1,
                  speed=12.5, course=181.3)
    cycles[3].fix = False
    gps_used = [5, 13, 18, 20]
    glo_used = [66, 79, 88]
    s.add(sentence("PMTK011,MTKGPS"), sentence("PMTK010,001"),
          sentence("GPTXT,01,01,02,ANTSTATUS=OPEN"))
    for c in cycles:
        c.used = gps_used + glo_used
        s.add(rmc("GN", c, mode="A"), sentence("GNVTG,181.30,T,,M,12.50,N,23.15,K,A"), gga("GN", c),
              gsa("GP", c, gps_used), gsa("GL", c, glo_used), gsv("GP", GPS[:8]), gsv("GL", GLO))
        s.expect(c)
    s.satellites = sky("GPS", GPS[:8], gps_used) + sky(
        "GLONASS", [(n - 64, e, a, r) for n, e, a, r in GLO], [n - 64 for n in glo_used])
    s.inview = 8 + len(GLO)
    return s


def talker_switch():
    s = Stream("talker_switch", "starts with GPS alone under $GP, switches to $GN positions "
               "once GLONASS satellites are tracked")
    cycles = walk(datetime.datetime(2021, 3, 3, 3, 3, 3), 6, 40.712776, -74.005974, 1,
                  speed=3.0, course=45.0)
    gps_used = [2, 12, 15, 24, 29]
    glo_used = [65, 72]
    for i, c in enumerate(cycles):
        c.used = gps_used if i < 3 else gps_used + glo_used
        if i < 3:
            s.add(rmc("GP", c), gga("GP", c), gsa("GP", c, gps_used), gsv("GP", GPS))
        else:
            s.add(rmc("GN", c, mode="A"), gga("GN", c), gsa("GN", c, gps_used),
                  gsa("GN", c, glo_used), gsv("GP", GPS), gsv("GL", GLO[:4]))
        s.expect(c)
    s.satellites = sky("GPS", GPS, gps_used) + sky(
        "GLONASS", [(n - 64, e, a, r) for n, e, a, r in GLO[:4]], [n - 64 for n in glo_used])
    s.inview = len(GPS) + 4
    return s


def phone_dual_talker():
    s = Stream("phone_dual_talker", "a phone sharing its position: the same fix as $GPRMC and "
               "$GNRMC, $GPGGA and $GNGGA, BeiDou under $BD, QZSS among the GPS satellites, "
               "unknown and proprietary sentences, wrong checksums, binary bytes and a cut line")
    cycles = walk(datetime.datetime(2025, 1, 1, 0, 0, 1), 6, -22.951916, -43.210487, 1,
                  speed=0.8, course=270.0)
    gps_used = [2, 12, 193]
    bds_used = [206, 213, 219]
    bds = [(200 + n, e, a, r) for n, e, a, r in BDS[:5]]
    qzss = [(193, 58, 190, 43)]
    for i, c in enumerate(cycles):
        c.used = gps_used + bds_used
        if i == 2:
            # Both position sentences of this cycle are damaged: no fix.
            s.add(rmc("GP", c, bad=True), rmc("GN", c, mode="A", bad=True), gga("GP", c, bad=True),
                  gga("GN", c, bad=True))
        else:
            s.add(rmc("GP", c), rmc("GN", c, mode="A"), gga("GP", c), gga("GN", c))
            s.expect(c)
        s.add(sentence("GPZDA,%s,%s,%s,%d,00,00" % (c.hms(), c.when.strftime("%d"),
                                                    c.when.strftime("%m"), c.when.year)),
              sentence("PGLOR,1,FIX,1.0,1.0"), gsa("GN", c, gps_used), gsa("BD", c, bds_used),
              gsv("GP", GPS[:6] + qzss), gsv("BD", bds),
              sentence("GNGNS,%s,%s,AA,12,0.9,%.1f,39.5,," % (c.hms(), c.position(), c.alt),
                       bad=i == 2))
        if i == 1:
            s.add("\x10\x02\xfe\x01\x33\x10\x03" + CRLF, "$GPGSV,3,1,12,05,12,040,3" + CRLF,
                  "GPGGA,000002.00,junk without a dollar" + CRLF)
    s.satellites = sky("GPS", GPS[:6], gps_used) + [("QZSS", 1, 58, 190, 43, "used")] + sky(
        "BeiDou", [(n - 200, e, a, r) for n, e, a, r in bds], [n - 200 for n in bds_used])
    s.inview = 7 + len(bds)
    return s


def main():
    for make in (sirf_gps_2x, ublox_m8_40, ublox_f9_410, rtk_8dp, mtk_gps_glonass,
                 talker_switch, phone_dual_talker):
        make().write()


if __name__ == "__main__":
    main()
