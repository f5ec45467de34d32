; Sizes that depend on themselves, and an image that overflows.
a:	ds.b	b-a+1
b:	dcb.l	$400000,1
	dcb.l	$400000,1
gap	equ	end-here
	ds.b	gap
here:	dc.w	1
end:
