#> StdIn
#$ -indep -xsize 9
#~ -t "StdIn_0"
#~ -t "StdIn_1"
#~ -t "StdIn_2"
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
1 5 2.5 
3.25 4 0 
