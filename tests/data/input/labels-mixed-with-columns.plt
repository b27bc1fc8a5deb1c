#> StdIn
#$ -indep -xsize 9
#~ -t "temp"
#~ -t "hum"
#~ -t "StdIn_2"
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
25.1 40 0 
25.2 41 7 
25.2 42 8 
