; Warnings and errors of the Motorola dialect's forms: a comment that reads
; like more of the operand, a word at an odd address, opt flags we don't
; take, bytes in a bss section, and two lines placing bytes at one address.
	opt	o+,x+,q-
	org	$100
	dc.w	1 + 2
	dc.b	1
	move.w	d0,d1	copy it
	section	vars,bss
count	ds.w	1
	dc.l	0
	section	code
	include	"inc/patch.inc"
