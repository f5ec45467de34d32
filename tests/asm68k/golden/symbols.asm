; The binary symbol file: a record for each label, equate and set symbol,
; in value order; local labels from opt v+ on.
SCREEN	equ	$C00000
limit	set	3
limit	set	limit*2
	rsreset
obj_x	rs.w	1
obj_y	rs.w	1
start:	moveq	#0,d0
.skip	bra.s	.skip		; before opt v+: left out
	opt	v+
main:	nop
@loop	bra.s	@loop
.done	rts
