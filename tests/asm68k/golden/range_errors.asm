* Every range check, each one step past its limit.
	addq.w	#9,d0
	subq.w	#0,d0
	moveq	#128,d0
	lsl.w	#9,d0
	trap	#16
	move.b	#256,d0
	move.w	#65536,d0
	dc.b	-129,0
	dc.w	65536
	move.w	$8000.w,d0
	btst	#8,(a0)
	btst	#32,d0
	move.w	32768(a0),d0
	move.w	-129(a0,d0.w),d0
	bra.s	here
here:	bra.s	*+130
	bra	*+32770
	bra	*+3
	lea	*+32770(pc),a0
	dc.l	1/0
	dc.l	undefined
	ds.b	-1
