; Structures, sections, an offset block and org going backwards: layout_flat.asm
; is the same program written with org and dc alone, and gives the same bytes.
	rsreset
pos_x	rs.w	1
pos_y	rs.w	1
flags	rs.b	1
speed	rs.l	1		; the counter goes even first: 6
obj_size rs.b	0		; 10

	offset	$FF0000		; RAM variables: addresses, no bytes
player	ds.b	obj_size
score	ds.l	1

	section	vectors,code
	org	0
	dc.l	$FF8000,start

	section	code		; follows vectors: $8
start	lea	player,a0
	move.w	#3,pos_y(a0)
	move.l	#message,d0
	move.l	#buffer,d1
	dc.w	obj_size,__rs
	rts

	section	tables,data	; follows all of code
message	dc.b	'Hi',0
	even
sizes	dc.w	obj_size,score-player

	section	code		; more of code: it gathers before tables
	nop

	section	work,bss	; after every code and data section
buffer	ds.b	16

	section	patch,code
	org	$3000		; a variable above the program...
spare	ds.w	1
	org	$200		; ...then back down for a patch
	dc.w	spare
