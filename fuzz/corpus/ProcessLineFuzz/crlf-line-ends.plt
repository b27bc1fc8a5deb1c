#> Two sensors
#$ -xsize 100 -t left -t right
1.5 -2

3 4
5 6