; A small program: forward and backward branches, local labels,
; PC-relative data, include and incbin, and the directives.
	org	$1000
start:	lea	table(pc),a0
	moveq	#count-1,d1
.loop:	move.w	(a0)+,d0
	bsr.s	double
	dbra	d1,.loop
	bra	done
double:	add.w	d0,d0
	rts
done:	move.l	#message,a1
	movem.l	d0-d7/a0-a6,-(sp)
	movem.l	(sp)+,d0-d7/a0-a6
	include	"inc/constants.inc"
	move.w	#LIMIT,d2
	cmp.w	#LIMIT,d2
	beq.s	.same
	nop
.same:	rts
table:	dc.w	1,2,3,$ffff
count	equ	(*-table)/2
message:	dc.b	"Done",0
	even
	cnop	0,4
blob:	incbin	"inc/blob.dat"
	even
	ds.w	1
	dcb.b	3,$aa
	end
	this line is never read
