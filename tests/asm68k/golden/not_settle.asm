; Sizes that depend on themselves cannot settle: the error names the lines
; whose sizes keep changing (the first five, then how many more).
	org	$100
s1:	ds.b	e1-s1+1
e1:
	org	$200
s2:	ds.b	e2-s2+1
e2:
	org	$300
s3:	ds.b	e3-s3+1
e3:
	org	$400
s4:	ds.b	e4-s4+1
e4:
	org	$500
s5:	ds.b	e5-s5+1
e5:
	org	$600
s6:	ds.b	e6-s6+1
e6:
	org	$700
s7:	ds.b	e7-s7+1
e7:
	rts
