; Words at odd addresses are errors, reported once per odd stretch.
	dc.b	1
	nop
	dc.w	2
	even
	nop
	dc.b	1
	ds.l	1
