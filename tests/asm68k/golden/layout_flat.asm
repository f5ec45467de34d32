; layout.asm written flat: the same bytes with org and dc alone.
	org	0
	dc.l	$FF8000,$8
	dc.w	$41F9,$00FF,$0000		; lea $FF0000,a0
	dc.w	$317C,$0003,$0002		; move.w #3,2(a0)
	dc.w	$203C,$0000,$0028		; move.l #message,d0
	dc.w	$223C,$0000,$3002		; move.l #buffer,d1
	dc.w	10,10
	dc.w	$4E75,$4E71			; rts, nop
	dc.b	'Hi',0,0			; message, at $28
	dc.w	10,10				; sizes
	org	$200
	dc.w	$3000				; spare
