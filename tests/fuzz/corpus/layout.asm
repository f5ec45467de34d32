; Sections, structures, an offset block and org in both directions.
	opt	l+,o+
	rsreset
x	rs.w	1
y	rs.l	1
size	rs.b	0
	offset	$FF0000
var	ds.b	size
	section	code
	lea	var,a0
	move.w	#size,x(a0)
	section	tables,data
	dc.w	'text',__RS
	section	work,bss
buf	ds.l	4
	section	vectors,code
	org	$100
	dc.b	1
	align	2
	dc.l	buf
	org	$80
	simhalt
	incbin	"b.bin",1,2
@@file b.bin
ABCD
