#> StdIn
#$ -indep -xsize 9
#~ -t "time (s)"
#~ -t "temp_C"
#~ -t "humidity, %"
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0.02 25.05 45 
0.04 0 44.9 
0 25.2 0 
0.08 25.3 44.7 
