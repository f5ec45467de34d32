; An equ given again must give the same value: a file included twice may
; repeat its equates, but another value is a real conflict.
LIVES	equ	3
LIVES	equ	1+2
LIVES	equ	5
	dc.w	LIVES
