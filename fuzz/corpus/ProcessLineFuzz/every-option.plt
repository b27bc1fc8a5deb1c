#> Motor test :: run 3
#$ -no-indep -lw 2.5 -rlw 0.5 -fsz 12 -frame -srate 1000 -hfreq -ysharedmax -xsize 9
#~ -dpy 1 -y -5:5 -w 3 -grid 2 -xsz 100 -xmin -1.5 -xmax 2.25 -l 1 -l -0.25
#~ -dpy 3 -l 2.5
#~ -t "current" -d 0
#~ -t "shaft speed" -d 1 -s 0.001 -beep
#~ -t "spare" -d 3 -disabled
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
0 0 0 
3.14159 1.23457e+06 1e-05 
-2 0.5 1e-07 
