	machine	68020
	move.w	1000(a0,d0),d1
	move.l	([4,a0,d1.l*4],8.l),(fwd,a1,d0)
	move.w	([a0],d0,8),d1
	lea	(za0,d0*2),a1
	tst.w	([lab,pc],d1.w*4,-2)
	move.w	(zpc,d0),d1
	bra	far
	beq.l	lab
lab:	mulu.l	d0,d2:d1
	divsl.l	(a0),d3:d4
	bfextu	(a0){d1:8},d3
	bfins	d3,(100000,a1){31:32}
	cas.w	d0,d1,(a0)
	cas2.l	d0:d1,d2:d3,(a0):(a1)
	chk2.b	(lab,pc),a7
	pack	-(a0),-(a1),#5
	trapne.l	#fwd
	link.l	a6,#-fwd
	callm	#4,([a0])
	rtm	a2
fwd	equ	70000
	ds.b	40000
far:	nop
