; A typo in a mnemonic: nothing is assembled and the line is named.
start:	moveq	#1,d0
	mvoe.l	d0,d1
	rts
