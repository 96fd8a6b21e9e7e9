#include "geodesy/datum_table.h"

#include "geodesy/decimal_prefix.h"
#include "geodesy/field_splitter.h"

namespace sorvane {

namespace {

// name, ellipsoid, dA, dF x 10000, dX, dY, dZ; sorted by name ignoring case.
constexpr std::string_view kTable = R"TABLE(
Adindan,Clarke_1880,-112.145,-0.54750714,-162,-12,206
Afgooye,Krassovsky,-108,0.00480795,-43,-163,45
AIN EL ABD 1970,International,-251,-0.14192702,-150,-251,-2
Anna 1 Astro 1965,Australian_National,-23,-0.000812045,-491,-22,435
ARC 1950,Clarke_1880,-112.145,-0.54750714,-143,-90,-294
ARC 1960,Clarke_1880,-112.145,-0.54750714,-160,-8,-300
Ascension Island '58,International,-251,-0.14192702,-207,107,52
Astro B4 Sorol Atoll,International,-251,-0.14192702,114,-116,-333
Astro Beacon "E",International,-251,-0.14192702,145,75,-272
Astro Dos 71/4,International,-251,-0.14192702,-320,550,-494
Astronomic Stn '52,International,-251,-0.14192702,124,-234,-25
Australian Geod '66,Australian_National,-23,-0.000812045,-133,-48,148
Australian Geod '84,Australian_National,-23,-0.000812045,-134,-48,149
Austria NS,Bessel_1841,739.845,0.10037483,596,87,473
Belgium 1950,International,-251,-0.14192702,-55,49,-158
Bellevue (IGN),International,-251,-0.14192702,-127,-769,472
Bermuda 1957,Clarke_1866,-69.4,-0.37264639,-73,213,296
Bogota Obsrvatry,International,-251,-0.14192702,307,304,-318
Bukit Rimpah,Bessel_1841,739.845,0.10037483,-384,664,-48
Camp Area Astro,International,-251,-0.14192702,-104,-129,239
Campo Inchauspe,International,-251,-0.14192702,-148,136,90
Canton Astro 1966,International,-251,-0.14192702,298,-304,-375
Cape,Clarke_1880,-112.145,-0.54750714,-136,-108,-292
Cape Canaveral,Clarke_1866,-69.4,-0.37264639,-2,150,181
Carthage,Clarke_1880,-112.145,-0.54750714,-263,6,431
CH-1903,Bessel_1841,739.845,0.10037483,674,15,405
Chatham 1971,International,-251,-0.14192702,175,-38,113
Chua Astro,International,-251,-0.14192702,-134,229,-29
Corrego Alegre,International,-251,-0.14192702,-206,172,-6
Danish Gi 1934,Danish Gi 1934,1033,0.1947733,662,18,734
Djakarta (Batavia),Bessel_1841,739.845,0.10037483,-377,681,-50
Dos 1968,International,-251,-0.14192702,230,-199,-752
Easter Island 1967,International,-251,-0.14192702,211,147,111
European 1950,International,-251,-0.14192702,-87,-98,-121
European 1979,International,-251,-0.14192702,-86,-98,-119
Finland Hayford,International,-251,-0.14192702,-78,-231,-97
G. Segara,Bessel_1841,739.845,0.10037483,-403,684,41
Gandajika Base,International,-251,-0.14192702,-133,-321,50
Geodetic Datum '49,International,-251,-0.14192702,84,-22,209
GGRS 87,GGRS 87,0,-0.000000164348,200,-75,-246
Guam 1963,Clarke_1866,-69.4,-0.37264639,-100,-248,259
Gux 1 Astro,International,-251,-0.14192702,252,-209,-751
Herat North,International,-251,-0.14192702,-333,-222,114
Hjorsey 1955,International,-251,-0.14192702,-73,46,-86
Hong Kong 1963,International,-251,-0.14192702,-156,-271,-189
Hu-Tzu-Shan,International,-251,-0.14192702,-634,-549,-201
Indian Bangladesh,Everest,860.655,0.28361368,289,734,257
Indian Mean Value,Everest,860.655,0.28361368,173,750,264
Indian Thailand,Everest,860.655,0.28361368,214,836,303
Indonesia 74,Australian_National,-23,-0.001126821,-3,15,0
Ireland 1965,Modified_Airy,796.811,0.11960023,506,-122,611
ISTS 073 Astro '69,International,-251,-0.14192702,208,-435,-229
Johnston Island,International,-251,-0.14192702,191,-77,-204
Kandawala,Everest,860.655,0.28361368,-97,787,86
Kerguelen Island,International,-251,-0.14192702,145,-187,103
Kertau 1948,Modified_Everest,832.937,0.28361368,-11,851,5
L.C. 5 Astro,Clarke_1866,-69.4,-0.37264639,42,124,147
Liberia 1964,Clarke_1880,-112.145,-0.54750714,-90,40,88
Luzon Mean Value,Luzon Mean Value,-69.4,-0.37264639,-133,-77,-54
Luzon Mindanao,Luzon Mindanao,-69.4,-0.37264639,-133,-79,-72
Luzon Philippines,Luzon Philippines,-69.4,-0.37264639,-133,-77,-51
Mahe 1971,Clarke_1880,-112.145,-0.54750714,41,-220,-134
Marco Astro,International,-251,-0.14192702,-289,-124,60
Massawa,Bessel_1841,739.845,0.10037483,639,405,60
Merchich,Clarke_1880,-112.145,-0.54750714,31,146,47
Midway Astro 1961,International,-251,-0.14192702,912,-58,1227
Minna,Clarke_1880,-112.145,-0.54750714,-92,-93,122
NAD27 Alaska,Clarke_1866,-69.4,-0.37264639,-5,135,172
NAD27 Bahamas,Clarke_1866,-69.4,-0.37264639,-4,154,178
NAD27 Canada,Clarke_1866,-69.4,-0.37264639,-10,158,187
NAD27 Canal Zone,Clarke_1866,-69.4,-0.37264639,0,125,201
NAD27 Caribbean,Clarke_1866,-69.4,-0.37264639,-7,152,178
NAD27 Central,Clarke_1866,-69.4,-0.37264639,0,125,194
NAD27 CONUS,Clarke_1866,-69.4,-0.37264639,-8,160,176
NAD27 Cuba,Clarke_1866,-69.4,-0.37264639,-9,152,178
NAD27 Greenland,Clarke_1866,-69.4,-0.37264639,11,114,195
NAD27 Mexico,Clarke_1866,-69.4,-0.37264639,-12,130,190
NAD27 San Salvadr,Clarke_1866,-69.4,-0.37264639,1,140,165
NAD83,GRS_80,0,-0.000000164348,0,0,0
Nahrwn Masirah Is,Clarke_1880,-112.145,-0.54750714,-247,-148,369
Nahrwn Saudi Arbia,Clarke_1880,-112.145,-0.54750714,-231,-196,482
Nahrwn United Arab,Clarke_1880,-112.145,-0.54750714,-249,-156,381
Naparima BWI,International,-251,-0.14192702,-2,374,172
Netherland Tri 21,Bessel_1841,739.845,0.10037483,578,14,459
Nou Triag France,Clarke_1880,-112.145,-0.54750714,-168,-60,320
Nou Triag Luxemb,International,-251,-0.14192702,-262,75,25
Observatorio 1966,International,-251,-0.14192702,-425,-169,81
Old Egyptian,Helmert_1906,-63,0.004807955,-130,110,-13
Old Hawaii Kauia,International,-251,-0.14192702,190,-230,-341
Old Hawaii Maui,International,-251,-0.14192702,210,-230,-357
Old Hawaii Mean,Clarke_1866,-69.4,-0.37264639,61,-285,-181
Old Hawaii Oahu,International,-251,-0.14192702,201,-224,-349
Oman,Clarke_1880,-112.145,-0.54750714,-346,-1,224
Ord Srvy Grt Britn,Airy,573.604,0.11960023,375,-111,431
Pico De Las Nieves,International,-251,-0.14192702,-307,-92,127
Pitcairn Astro 1967,International,-251,-0.14192702,185,165,42
Portuguese 1973,International,-251,-0.14192702,-227,98,35
Potsdam,Bessel_1841,739.845,0.10037483,587,16,393
Prov So Amricn '56,International,-251,-0.14192702,-288,175,-376
Prov So Chilean '63,International,-251,-0.14192702,16,196,93
Puerto Rico,Clarke_1866,-69.4,-0.37264639,11,72,-101
Qatar National,International,-251,-0.14192702,-128,-283,22
Qornoq,International,-251,-0.14192702,164,138,-189
Reunion,International,-251,-0.14192702,94,-948,-1262
Rome 1940,International,-251,-0.14192702,-225,-65,9
RT 90,Bessel_1841,739.845,0.10037483,499,-37,563
Santo (Dos),International,-251,-0.14192702,170,42,84
Sao Braz,International,-251,-0.14192702,-203,141,53
Sapper Hill 1943,International,-251,-0.14192702,-355,16,74
Schwarzeck,Bessel_1841_(Namibia),653.135,0.10037483,616,97,-251
South American '69,South_American_1969,-23,-0.000812045,-57,1,-41
South Asia,Modified_Fischer_1960,-18,0.004807955,7,-10,-26
Southeast Base,International,-251,-0.14192702,-499,-249,314
Southwest Base,International,-251,-0.14192702,-104,167,-38
Tananarive Obsv,International,-251,-0.14192702,-189,-242,-91
Timbalai 1948,Everest,860.655,0.28361368,-689,691,-46
Tokyo,Bessel_1841,739.845,0.10037483,-128,481,664
Tristan Astro 1968,International,-251,-0.14192702,-632,438,-609
Viti Levu 1916,Clarke_1880,-112.145,-0.54750714,51,391,-36
Wake-Eniwetok '60,Hough,-133,-0.14192702,101,52,-39
WGS 72,WGS 72,2,0.000312106,0,0,5
WGS 84,WGS 84,0,0,0,0,0
Yacare,International,-251,-0.14192702,-155,171,37
Zanderij,International,-251,-0.14192702,-265,120,-358)TABLE";

constexpr int kFieldCount = 7;
constexpr double kFlatteningScale = 0.0001;

}  // namespace

std::string_view BuiltInDatumTable() {
    // The raw literal starts with a line break for readability only.
    return kTable.substr(1);
}

std::vector<DatumRow> ParseDatumTable(std::string_view text) {
    std::vector<DatumRow> rows;
    FieldSplitter lines(text, "\n");
    rows.reserve(static_cast<std::size_t>(lines.count()));
    for (const char* line = lines.first(); line != nullptr; line = lines.next()) {
        FieldSplitter fields(line, ",");
        std::string f[kFieldCount];
        int n = 0;
        for (const char* tok = fields.first(); tok != nullptr && n < kFieldCount;
             tok = fields.next()) {
            f[n++] = tok;
        }
        if (n < kFieldCount)
            continue;
        DatumRow row;
        row.name = std::move(f[0]);
        row.ellipsoid = std::move(f[1]);
        row.shift.dA = DecimalPrefix(f[2].c_str());
        row.shift.dF = DecimalPrefix(f[3].c_str()) * kFlatteningScale;
        row.shift.dX = DecimalPrefix(f[4].c_str());
        row.shift.dY = DecimalPrefix(f[5].c_str());
        row.shift.dZ = DecimalPrefix(f[6].c_str());
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace sorvane
