#$ -no-fixed 100000 -xsize 9 -max-xsize 0 -y -5 : 5 -grid -1 -l 1 -l 1 -c
1 2
3 4
5 6
7 8
9 10
11 12
13 14
15 16
17 18
19 20
21 22
