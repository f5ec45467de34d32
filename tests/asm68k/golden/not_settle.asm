; A size that depends on itself cannot settle.
a:	ds.b	b-a+1
b:	rts
