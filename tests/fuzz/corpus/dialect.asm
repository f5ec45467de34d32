; Named macro parameters, labels passed between expansions, blk, movem
; ranges across kinds, '*' comments after labels, and the precedence warning.
if_ne	macro
	beq.w	skip\@!
	endm
endi	macro
skip\@@:
	endm
put	macro	value,dest
	move.w	#\value,\dest
	endm
wait:	* a comment after a label
	if_ne
	put	5,d1
	movem.l	d0-a6,-(sp)
	movem.l	(sp)+,d0-7/a0-6
	endi
	blk.w	2,$4E71
	dc.l	1<<2+1
	nop	0,8
	opt	c-
	if	def(x)=0
	endif
