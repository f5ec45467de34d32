; One line of each kind of mistake.
	movq	#1,d0
	move.q	d0,d1
	move.w	(d0),d1
	pea	1()
	move.w	x(),d0
	moveq	#300,d0
	dc.b	1
	nop
	org	0
	dc.w	missing
x	equ	1
x	equ	2
	dc.b	"open
	ds.b	-1
	dcb.l	$400001,0
	cnop	0,0
	include	"nowhere.inc"
	incbin	"nothing.bin"
	include	"self.inc"
	dc.l	1/0
1abc	nop
	move.w	(a0,d0*2),d1
	movem.l	d3-d0,-(sp)
	bra.l	*
@@file self.inc
	include	self.inc
