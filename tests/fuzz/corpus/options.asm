; The options of Mega Drive builds: optimisations, and flags switched and saved.
	opt	op+,os+,ow+,oz+,oaq+,osq+,omq+
start:
	move.l	#1,d0
	move.l	#128,d1
	add.w	#8,d2
	sub.l	#3,a0
	move.w	0(a1),d3
	lea	table,a2
	move.w	start,d4
	bra	later
	beq	start
	pusho
	opt	ae-,ws+,w-
	dc.b	1
	dc.w	1 + 2 ; blanks belong to the operands
	popo
	even
later:
	bsr	start
table:	dc.w	$7FFF,$8000
	opt	os-,l.,l@,an+
	bra	start
