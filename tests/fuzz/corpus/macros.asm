; Macros calling macros, conditions and rept, with local labels of their own.
VERSION	equ	2
push	macro
	move.\0	\1,-(sp)
	endm
loop	macro
.l\@	dbra	\1,.l\@
	endm
call	macro
	ifgt	narg-1
	push.l	\2
	endif
	bsr.w	\1
	endm
start	call	work,d2
	loop	d0
	if VERSION>=2&&VERSION<>3
	rept	2
	nop
	endr
	elseif	VERSION=1
	illegal
	else
	fail	no such version
	endif
	ifc	'a','a'
	ifnd	nothere
	dc.w	1!2,narg,<4>
	endc
	endc
work	rts	return
	dc.w	1 + 2
