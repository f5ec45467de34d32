; Forms the Mega Drive and Sega CD sources write that read unlike the
; common dialect: an equate of a name never defined (no value, and unused),
; a constant with a hex digit too many, a word mask to ccr, modulo before a
; macro's local name, a string equate holding a quote put into a string,
; and one-line macros that open a block the caller's lines go on with.
UNUSED	equ	BASE+flags
SELF	equ	SELF
WIDE	equ	$FFFF3803D
	dc.l	WIDE
	andi	#$FFFE,ccr
	ori	#$FF01,ccr

lowdigits macro num
	local	mask
mask	= 100
	dc.b	(\num)%mask
	endm
	lowdigits 1994

chars	macro &
	text
tbl	equs	' !"'
tbl	equs	"\tbl\#$'"
c	= 1
	rept	strlen(\text)
ch	substr	c,c,\text
out	substr	"\ch"-$1F,"\ch"-$1F,"\tbl"
	dc.b	"\out"
c	= c+1
	endr
	endm
	chars	"!$#"
	chars	'"'

ifarg	macros
	if strlen("\1")>0
fill	macro	count,value
	ifarg \value
	dcb.b	\count,\value
	else
	dcb.b	\count,$EE
	endc
	endm
	fill	2,$11
	fill	1
	if 0
	ifarg x
	dc.b	1
	else
	dc.b	2
	endc
	else
	dc.b	3
	endc
