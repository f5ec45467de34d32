; The dialect of console sources: case, 0x, the classic order, macro forms and text.
	opt	c-
VDP_CTRL	equ	0xC00004
vram	macro	addr,dst
	move.l	#($40000000+(addr&$3FFF)<<16+addr>>14),dst
	endm
dcb_list	macro
	rept	narg
	dc.b	\1
	shift
	endr
	endm
pusha	macros	movem.l	d0-a6,-(sp)
popa	macros &
	a
	movem.l	(sp)+,d0-a6
align	macro
	cnop	0,\1
	endm
@pair	macro	first,second
	local	skip
	bra.s	skip
	dc.b	\first\+1,second
skip:
	endm
NAME	equs	"Quorvel"
PART	substr	1,3,"\NAME"
count	set	0
Start:
	vram	$C000,VDP_Ctrl
	pusha
	popa
	dcb_list	1,2,3
	align	2
	@pair	4,5
	rept	3
L_\#count\:	dc.w	count
count	set	count+1
	endr
	dc.b	"\NAME \#count",0
	dc.w	strlen("\PART"),strcmp("a","A"),def(Start),100>>2-1
	inform	0,"%d %h %s",count,255,"\PART"
	hex	0008FE0F
	addi.w	#2,a0
	bra	start
	purge	@pair
