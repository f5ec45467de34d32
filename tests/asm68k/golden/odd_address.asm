; A word at an odd address gets a zero byte before it, and a warning.
	dc.b	1
	nop
	dc.w	2
	even
	nop
	dc.b	1
	ds.l	1
