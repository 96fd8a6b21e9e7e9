mapserver script ver="1.0";
// a comment
line gid="1"	pos=">
35:30:15,139 15 00,
 N35.6 , E139.3 ,
" str="hand \"made\"";
point  gid="2" pos="5.5,  -0.125" str="É|ÉC";
point pos="1,2";
mapserver end;
