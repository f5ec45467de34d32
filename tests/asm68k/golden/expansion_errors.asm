; Errors inside macro expansions and rept bodies name the chain of calls
; that led to them, innermost first; conditional blocks left open are
; reported at the line that opened them.
store	macro
	move.\0	\1,\2
	endm
twice	macro
	rept	2
	store.w	#\1,d0
	endr
	endm
fetch	macro
	include	"inc/in_macro.inc"
	endm
open	macro
	if	\1
	nop
	endm

	twice	$12345
	fetch
	open	1
	if	later
	endif
later	equ	1
	elseif	1
	rts
