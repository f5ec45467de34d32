; Branches, conditions and control.
top:	nop
	bra.s	.near
	bra.w	far
	bsr	sub
.near:	beq.s	top
	bne	far
	bcc	top
	bcs	top
	bhi	top
	bls	top
	bge	top
	blt	top
	bgt	top
	ble	top
	bpl	top
	bmi	top
	bvc	top
	bvs	top
	dbra	d0,top
	dbf	d1,.near
	dbeq	d2,top
	st	d0
	sf	(a0)
	sne	d1
	seq	d2
	jmp	(a0)
	jsr	far(pc)
	trap	#15
	trapv
	stop	#$2700
	reset
	illegal
	rte
	rtr
sub:	rts
	ds.b	200
far:	rts
