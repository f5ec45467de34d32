; Includes and incbin from the in-memory files that follow.
	include	"defs.inc"
	include	'sub/code.inc'
	incbin	"data.bin"
	incbin	data.bin
	include	defs.inc
@@file defs.inc
value	set	$1234
@@file sub/code.inc
	move.w	#value,d0
	include	"leaf.inc"
@@file sub/leaf.inc
	rts
@@file data.bin
ABCDEFG
