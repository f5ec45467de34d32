; The listing and symbols of a program with what a listing shows: comments
; and blank lines, includes, macros, rept, conditionals, long data, equates,
; set symbols and local labels.

VERSION	equ	2
count	set	1
count	set	count+1
	rsreset
pos_x	rs.w	1
flag	rs.b	1

	include	"inc/listing.inc"	; macros, and a comment after them
	include	"inc/comments.inc"	; comments only

start:	moveq	#1,d0
.loop	dbra	d0,.loop
	push.l	d0			; a macro
	pair	d1,d2			; a macro calling a macro
	rept	2
	; a comment in the body
	nop
	endr
	if VERSION>1
	rts
	else
	illegal
	endif
text	dc.b	'a string longer than a row of bytes!',0
	nop			; at an odd address: a zero byte first
	dcb.w	40,$4E71	; more bytes than the rows show
	org	$1000
	ds.b	4
far:	bra.w	start
	end
	after the end: not assembled
