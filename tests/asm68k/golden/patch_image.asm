; A ROM hack: the original image included whole, then patches written over
; it after an org back to their addresses. Bytes placed again replace the
; earlier ones without a word, and a patch past the end makes the image
; longer (zeros in between).
	org	0
	incbin	"inc/original.bin"	; 16 bytes, $10 to $1F
	org	2
	dc.b	$AA			; the third byte
	org	8
	jmp	Hook			; six bytes, $8 to $D
	org	$14
Hook:	moveq	#1,d0			; past the end
	rts
