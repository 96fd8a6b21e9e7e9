mapserver script ver="1.0";
group gid="0"
pointstyle = "mark#0"
linergb = "0,0,255"
linewidth= "2";
line	gid="0"
pos=">
35.500000,139.250000,
35.600000,139.300000,
35.650000,139.450000,
"
str="-T1:1-(3)";

group gid="1"
pointstyle = "mark#0"
linergb = "255,0,0"
linewidth= "2";
line	gid="1"
pos=">
-33.900000,151.200000,
-33.800000,151.300000,
"
str="-東京-表:1-(2)";

line	gid="1"
pos=">
-33.700000,151.100000,
-33.600000,151.000000,
"
str="-東京-表:2-(2)";

group gid="999"
pointstyle = "mark#0"
;
point	gid="999"	
pos="35.500000,139.250000"
str="ABC";
point	gid="999"	
pos=" 5.500000, -0.125000"
str="ポイント";
point	gid="999"	
pos="-89.999999,179.999999"
str="LONGNAME-ABCDEFGHIJKLMN";
group gid="0"
pointstyle = "mark#0"
linergb = "0,0,255"
linewidth= "2";
group gid="1"
pointstyle = "mark#0"
linergb = "255,0,0"
linewidth= "2";
point 	
pos=" 35.100000,139.100000"
str="RW_0";
point 	
pos=" 35.200000,139.200000"
str="RW_1";
line	gid="0"
pos="
35.100000,139.100000,
35.200000,139.200000,
"
str="-ROUTE A-";

line	gid="1"
pos="
"
str="-EMPTY-";

mapserver end;
