#> StdIn
#$ -indep -xsize 9
#~ -t "temp"
#~ -t "hum"
#~ -t "StdIn_2"
#~ -t "StdIn_3"
0 0 0 0 
0 0 0 0 
0 0 0 0 
0 0 0 0 
0 0 0 0 
0 0 0 0 
0 0 0 0 
1 2 0 0 
4 3 0 5 
