#& -frame -dpy 3 -w 5
#$ -no-frame
#> Title "quoted"
#~ -t "a b" -s 2 -t c -beep
  5   -6	7 
5 abc 6
5 # 6 7
-x +3 0x10 3e2 1.25 -
