; the smallest program
	moveq	#1,d0
	rts
