; Paths as DOS-era sources write them: '\' between folders, names in any
; case, two names that match alike, a folder named as a file, a path past
; the end of the address space.
	include	'SUB\Code.INC'
	incbin	"Sub\DATA.bin",1
	incdir	"LIB"
	include	deep\x.i
	include	'twin.i'
	include	TWIN.I
	incbin	sub
	org	$FFFFFFFE
	dc.w	1
end:	dc.l	end
@@file sub/code.inc
	move.w	#1,d0
	include	"..\lib\deep\X.I"
@@file sub/data.bin
ABCDEFG
@@file lib/deep/x.i
	rts
@@file Twin.i
	nop
@@file twin.I
	nop
